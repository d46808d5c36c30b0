#pragma once
// The CAD tree as an EMC configuration reshapes it, without item models: one
// structure per CAE item holding that item's CAD objects, with the solids of
// a "solidB" item that are smaller than its minimal size turned into MIP
// elements (one per solid, or one per parent for all of them).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cad_rpc_types.h"
#include "export_tree.h"

namespace tarvik {

// A CAD object of a CAE item; `node_id` -1 where the CAD model lacks it.
struct EmcObject {
    int32_t node_id = -1;
    bool include = true;
    bool geom = false;
};

struct EmcItem {
    enum Method { Solid = 0, SolidB = 1, Point = 2 };
    std::string name;
    int method = Solid;
    double min_size_mm = 0;  // "solidB" only
    std::vector<EmcObject> objects;
};

// For each solid, whether it reaches `min_size_m` (the add-in's
// get_min_size_comparison_results); throws when it cannot tell.
using SizeComparison = std::function<std::vector<bool>(double min_size_m, const std::vector<int32_t>& solids)>;

class EmcShape {
public:
    // Reshapes `tree` (which must outlive the shape); throws
    // std::runtime_error, and leaves the shape empty, on an object the tree
    // lacks or a size comparison that fails.
    void build(const CAD_RPC::Tree& tree, const std::vector<EmcItem>& items, bool single_mip,
               const SizeComparison& sizes);
    void clear();
    const ShownItem& root() const { return root_; }

private:
    void build_item(const EmcItem& item, const SizeComparison& sizes, bool single_mip);
    std::vector<int32_t> add_subtrees(ShownItem* cae_item, const std::vector<EmcObject>& listed);
    void convert_small_solids(ShownItem* cae_item, const std::vector<int32_t>& keep_geometry, double min_size_mm,
                              const SizeComparison& sizes, bool single_mip);
    const CAD_RPC::Node* make_node(CAD_RPC::NodeType::type type, const std::string& name, int32_t id,
                                   int32_t parent_id, bool visible);

    const CAD_RPC::Tree* tree_ = nullptr;
    ShownItem root_;
    // The nodes of CAE items and MIP elements, which the CAD tree lacks.
    std::vector<std::unique_ptr<CAD_RPC::Node>> nodes_;
};

}  // namespace tarvik
