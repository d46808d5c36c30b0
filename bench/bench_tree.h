#pragma once
// The benchmarks' CAD tree: assemblies of sub-assemblies of solids, the
// shape of a real machine's tree, with names that need correcting.
#include <string>

#include "cad_rpc_types.h"

namespace bench {

// About `nodes` nodes: 100 assemblies, each with 10 sub-assemblies of solids.
inline CAD_RPC::Tree machine_tree(int nodes)
{
    CAD_RPC::Tree tree;
    tree.root_id = 0;
    CAD_RPC::Node& root = tree.nodes[0];
    root.name = "Machine";
    root.parent_id = -1;
    int32_t next = 1;
    auto add = [&](int32_t parent, CAD_RPC::NodeType::type type, std::string name) {
        const int32_t id = next++;
        CAD_RPC::Node& node = tree.nodes[id];
        node.id = id;
        node.parent_id = parent;
        node.type = type;
        node.name = std::move(name);
        node.is_visible = id % 7 != 0;
        tree.nodes.at(parent).children_ids.push_back(id);
        return id;
    };
    const int solids_per_sub = std::max(1, (nodes - 1101 + 999) / 1000);
    for (int a = 0; a < 100; ++a) {
        const int32_t assembly = add(0, CAD_RPC::NodeType::Structure, "Assembly " + std::to_string(a + 1));
        for (int s = 0; s < 10; ++s) {
            const int32_t sub = add(assembly, CAD_RPC::NodeType::Structure, "Sub-assembly/" + std::to_string(s));
            for (int b = 0; b < solids_per_sub; ++b)
                add(sub, CAD_RPC::NodeType::Solid, b % 3 ? "Bolt M6" : "Body" + std::to_string(b));
        }
    }
    return tree;
}

}  // namespace bench
