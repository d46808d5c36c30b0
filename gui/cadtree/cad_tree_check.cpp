#include "cad_tree_check.h"

#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

void check_cad_tree(const CAD_RPC::Tree& tree)
{
    auto fail = [](const std::string& what) { throw std::runtime_error("The CAD tree is inconsistent: " + what); };
    for (const auto& [key, node] : tree.nodes)
        if (node.id != key) fail("node " + std::to_string(key) + " carries id " + std::to_string(node.id) + ".");
    if (!tree.nodes.count(tree.root_id)) fail("its root " + std::to_string(tree.root_id) + " is missing.");

    std::unordered_set<int32_t> seen{tree.root_id};
    std::vector<int32_t> pending{tree.root_id};
    while (!pending.empty()) {
        const CAD_RPC::Node& node = tree.nodes.at(pending.back());
        pending.pop_back();
        for (int32_t child : node.children_ids) {
            auto it = tree.nodes.find(child);
            if (it == tree.nodes.end())
                fail("node " + std::to_string(node.id) + " lists the missing child " + std::to_string(child) + ".");
            if (it->second.parent_id != node.id)
                fail("node " + std::to_string(child) + " names parent " + std::to_string(it->second.parent_id) +
                     " but is listed under " + std::to_string(node.id) + ".");
            if (!seen.insert(child).second) fail("node " + std::to_string(child) + " is listed twice.");
            pending.push_back(child);
        }
    }
}
