#pragma once
// Trees as the add-in sends them, made in place: ids are keys in the order
// added, each node listed by its parent.
#include <map>
#include <string>
#include <vector>

#include "cad_rpc_types.h"

namespace velmora::testing {

struct TreeMaker {
    CAD_RPC::Tree tree;

    explicit TreeMaker(const std::string& root = "Root") { tree.root_id = add(-1, root, CAD_RPC::NodeType::Structure); }
    int32_t add(int32_t parent, const std::string& name, CAD_RPC::NodeType::type type = CAD_RPC::NodeType::Solid,
                bool visible = true)
    {
        const auto key = static_cast<int32_t>(tree.nodes.size());
        CAD_RPC::Node& node = tree.nodes[key];
        node.id = key;
        node.parent_id = parent;
        node.name = name;
        node.type = type;
        node.is_visible = visible;
        if (parent >= 0) tree.nodes.at(parent).children_ids.push_back(key);
        return key;
    }
};

// Machine: Frame (Bolts (Bolt 1, Bolt 2), Beam, Plate, point Mark), Motor
// (Rotor), the root's curve Axis; each solid's size in metres.
struct Machine : TreeMaker {
    std::map<std::string, int32_t> id;
    std::map<int32_t, double> size;

    Machine() : TreeMaker("Machine")
    {
        auto put = [this](int32_t parent, const char* name, CAD_RPC::NodeType::type type, double metres = 0) {
            const int32_t key = add(parent, name, type);
            size[key] = metres;
            return id[name] = key;
        };
        using Type = CAD_RPC::NodeType;
        const int32_t frame = put(0, "Frame", Type::Structure), bolts = put(frame, "Bolts", Type::Structure);
        put(bolts, "Bolt 1", Type::Solid, 0.01);
        put(bolts, "Bolt 2", Type::Solid, 0.01);
        put(frame, "Beam", Type::Solid, 2.0);
        put(frame, "Plate", Type::Solid, 0.5);
        put(frame, "Mark", Type::Point);
        put(put(0, "Motor", Type::Structure), "Rotor", Type::Solid, 0.3);
        put(0, "Axis", Type::Curve);
    }
    // The add-in's answer: whether each solid reaches the size.
    auto sizes() const
    {
        return [this](double min, const std::vector<int32_t>& ids) {
            std::vector<bool> out;
            for (const int32_t s : ids) out.push_back(size.at(s) >= min);
            return out;
        };
    }
};

}  // namespace velmora::testing
