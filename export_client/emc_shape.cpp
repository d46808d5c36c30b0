#include "emc_shape.h"

#include <algorithm>
#include <stdexcept>
#include <tuple>
#include <unordered_set>

namespace tarvik {
namespace {

// Keeps the last of repeated ids, the order otherwise unchanged.
std::vector<std::pair<int32_t, bool>> last_occurrences(const std::vector<std::pair<int32_t, bool>>& listed)
{
    std::vector<std::pair<int32_t, bool>> kept;
    std::unordered_set<int32_t> seen;
    for (auto it = listed.rbegin(); it != listed.rend(); ++it)
        if (seen.insert(it->first).second) kept.push_back(*it);
    std::reverse(kept.begin(), kept.end());
    return kept;
}

}  // namespace

void EmcShape::clear()
{
    root_.children.clear();
    nodes_.clear();
}

void EmcShape::build(const CAD_RPC::Tree& tree, const std::vector<EmcItem>& items, bool single_mip,
                     const SizeComparison& sizes)
{
    clear();
    tree_ = &tree;
    try {
        for (const EmcItem& item : items) build_item(item, sizes, single_mip);
    } catch (...) {
        // Half a tree would export half a model.
        clear();
        throw;
    }
}

const CAD_RPC::Node* EmcShape::make_node(CAD_RPC::NodeType::type type, const std::string& name, int32_t id,
                                         int32_t parent_id, bool visible)
{
    auto node = std::make_unique<CAD_RPC::Node>();
    node->type = type;
    node->name = name;
    node->id = id;
    node->parent_id = parent_id;
    node->is_visible = visible;
    nodes_.push_back(std::move(node));
    return nodes_.back().get();
}

void EmcShape::build_item(const EmcItem& item, const SizeComparison& sizes, bool single_mip)
{
    ShownItem* cae_item = root_.add(make_node(CAD_RPC::NodeType::Structure, item.name, CAD_RPC::CAE_NodeType::CAE_Struct,
                                              CAD_RPC::CAE_NodeType::CAE_Struct, true));
    std::vector<EmcObject> listed;
    for (const EmcObject& object : item.objects)
        if (object.node_id != -1) listed.push_back(object);  // -1: not in this CAD model
    if (listed.empty()) return;
    if (item.method == EmcItem::Point) {
        for (const EmcObject& object : listed) cae_item->add(&tree_->nodes.at(object.node_id));
        return;
    }
    const std::vector<int32_t> keep_geometry = add_subtrees(cae_item, listed);
    if (item.method == EmcItem::SolidB) convert_small_solids(cae_item, keep_geometry, item.min_size_mm, sizes, single_mip);
}

std::vector<int32_t> EmcShape::add_subtrees(ShownItem* cae_item, const std::vector<EmcObject>& listed)
{
    const auto& nodes = tree_->nodes;
    // Nested: inside the CAD subtree of another listed object. Only nested
    // objects can change what their subtree shows (include) or keep their
    // geometry (geom).
    std::unordered_set<int32_t> listed_ids;
    for (const EmcObject& object : listed) listed_ids.insert(object.node_id);
    auto is_nested = [&](int32_t id) {
        std::unordered_set<int32_t> visited{id};
        for (int32_t up = nodes.at(id).parent_id; nodes.count(up) && visited.insert(up).second;
             up = nodes.at(up).parent_id)
            if (listed_ids.count(up)) return true;
        return false;
    };
    std::vector<std::pair<int32_t, bool>> top, nested;
    std::vector<int32_t> keep_geometry;
    for (const EmcObject& object : listed) {
        if (is_nested(object.node_id)) {
            nested.emplace_back(object.node_id, object.include);
            if (object.geom) keep_geometry.push_back(object.node_id);
        } else {
            top.emplace_back(object.node_id, object.include);
        }
    }
    top = last_occurrences(top);
    nested = last_occurrences(nested);
    std::unordered_set<int32_t> included;
    for (const auto& [id, include] : nested)
        if (include) included.insert(id);

    for (const auto& [top_id, top_include] : top) {
        // An excluded object hides itself only: included descendants hang
        // under the nearest shown ancestor.
        std::vector<std::tuple<bool, int32_t, ShownItem*>> stack{{top_include, top_id, cae_item}};
        while (!stack.empty()) {
            auto [shown, id, parent_item] = stack.back();
            stack.pop_back();
            const CAD_RPC::Node& node = nodes.at(id);
            ShownItem* children_parent = shown ? parent_item->add(&node) : parent_item;
            // Pushed last to first, so the children come out in CAD order.
            for (auto child = node.children_ids.rbegin(); child != node.children_ids.rend(); ++child) {
                const auto type = nodes.at(*child).type;
                if (type != CAD_RPC::NodeType::Structure && type != CAD_RPC::NodeType::Solid) continue;
                stack.emplace_back(included.count(*child) ? true : shown, *child, children_parent);
            }
        }
    }
    return keep_geometry;
}

void EmcShape::convert_small_solids(ShownItem* cae_item, const std::vector<int32_t>& keep_geometry,
                                    double min_size_mm, const SizeComparison& sizes, bool single_mip)
{
    const std::unordered_set<int32_t> keep(keep_geometry.begin(), keep_geometry.end());
    std::vector<ShownItem*> stack{cae_item};
    while (!stack.empty()) {
        ShownItem* item = stack.back();
        stack.pop_back();
        std::vector<ShownItem*> solids;
        std::vector<int32_t> ids;
        for (const auto& child : item->children)
            if (child->node->type == CAD_RPC::NodeType::Solid && !keep.count(child->node->id)) {
                solids.push_back(child.get());
                ids.push_back(child->node->id);
            }
        if (!sizes) throw std::runtime_error("No connection to the CAD plugin.");
        const std::vector<bool> large_enough = sizes(min_size_mm * 0.001, ids);
        if (large_enough.size() != ids.size())
            throw std::runtime_error("The CAD plugin answered the size comparison with a wrong number of results.");

        if (std::find(large_enough.begin(), large_enough.end(), false) != large_enough.end()) {
            if (!single_mip) {
                for (std::size_t i = 0; i < solids.size(); ++i)
                    if (!large_enough[i]) {
                        const CAD_RPC::Node* solid = solids[i]->node;
                        solids[i]->node = make_node(CAD_RPC::NodeType::ElementMIP, solid->name, solid->id,
                                                    solid->parent_id, solid->is_visible);
                    }
            } else {
                auto mip = std::make_unique<CAD_RPC::Node>();
                mip->type = CAD_RPC::NodeType::ElementMIP;
                mip->name = "mipEmptySolid";
                mip->id = CAD_RPC::CAE_NodeType::MultibodyMIP;
                mip->parent_id = -1;
                mip->is_visible = true;
                for (std::size_t i = 0; i < solids.size(); ++i)
                    if (!large_enough[i]) {
                        mip->children_ids.push_back(solids[i]->node->id);
                        mip->children_ids.push_back(solids[i]->node->parent_id);
                        auto& children = item->children;
                        children.erase(std::find_if(children.begin(), children.end(),
                                                    [&](const auto& c) { return c.get() == solids[i]; }));
                    }
                nodes_.push_back(std::move(mip));
                item->add(nodes_.back().get());
            }
        }
        for (const auto& child : item->children) stack.push_back(child.get());
    }
}

}  // namespace tarvik
