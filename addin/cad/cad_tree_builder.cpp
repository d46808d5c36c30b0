#include "cad_tree_builder.h"

#include <array>
#include <stack>
#include <stdexcept>
#include <string_view>

#include "host_interface/host.h"
#include "host_interface/host_text.h"

namespace velmora::cad {
namespace {

constexpr std::array<std::string_view, 1> point_feature_types = {"RefPoint"};
constexpr std::array<std::string_view, 5> curve_feature_types = {"RefCurve", "Helix", "CurveInFile", "3DSplineCurve",
                                                                 "CompositeCurve"};

template <std::size_t N>
bool contains(const std::array<std::string_view, N>& table, const std::string& name)
{
    for (auto t : table)
        if (t == name) return true;
    return false;
}

struct PendingComponent {
    int32_t parent_id;
    int32_t id;
    ComponentPtr component;
};

class Builder {
public:
    Builder(CAD_ObjectRegistry& registry, CAD_RPC::Tree& tree) : registry_(registry), tree_(tree) {}

    void part(const DocumentPtr& document)
    {
        const PartDocumentPtr part = document->as_part_document();
        if (!part) throw std::runtime_error("ERROR: part document has no part interface!");
        const int32_t root = registry_.register_object(part);
        tree_.root_id = root;
        // The root of a part is its own parent.
        make_node(root, CAD_RPC::NodeType::Structure, "Part", root, true);
        add_bodies(part->enumerate_bodies(0, 0), root);
        add_features(part->get_first_feature(), root);
    }

    void assembly(const DocumentPtr& document)
    {
        const ConfigurationPtr configuration = document->get_active_configuration();
        if (!configuration) throw std::runtime_error("ERROR: assembly has no active configuration!");
        ComponentPtr root = configuration->get_root_component(0);
        if (!root) throw std::runtime_error("ERROR: assembly has no root component!");
        const int32_t root_id = registry_.register_object(root);
        tree_.root_id = root_id;

        std::stack<PendingComponent> pending;
        pending.push({-1, root_id, std::move(root)});
        bool at_root = true;
        while (!pending.empty()) {
            PendingComponent item = std::move(pending.top());
            pending.pop();
            make_node(item.id, CAD_RPC::NodeType::Structure, utf8_from_utf16(item.component->get_name()),
                      item.parent_id, true);
            if (item.component->get_child_count() > 0) {
                for (ComponentPtr& child : item.component->get_children()) {
                    // An empty entry has nothing to show and nothing to call.
                    if (!child) continue;
                    const int32_t child_id = registry_.register_object(child);
                    pending.push({item.id, child_id, std::move(child)});
                    tree_.nodes[item.id].children_ids.push_back(child_id);
                }
            }
            if (at_root) {
                add_features(document->get_first_feature(), item.id);
                at_root = false;
            } else {
                add_bodies(item.component->enumerate_bodies(0, 0), item.id);
                add_features(item.component->get_first_feature(), item.id);
            }
        }
    }

private:
    CAD_RPC::Node& make_node(int32_t id, CAD_RPC::NodeType::type type, std::string name, int32_t parent_id,
                             bool visible)
    {
        CAD_RPC::Node& node = tree_.nodes[id];
        node.id = id;
        node.type = type;
        node.name = std::move(name);
        node.parent_id = parent_id;
        node.is_visible = visible;
        return node;
    }

    void add_bodies(const BodyEnumeratorPtr& bodies, int32_t parent_id)
    {
        if (!bodies) return;
        while (BodyPtr body = bodies->next()) {
            const int32_t id = registry_.register_object(body);
            make_node(id, CAD_RPC::NodeType::Solid, utf8_from_utf16(body->get_name()), parent_id, true);
            tree_.nodes[parent_id].children_ids.push_back(id);
        }
    }

    void add_features(FeaturePtr feature, int32_t parent_id)
    {
        while (feature) {
            const std::string type_name = utf8_from_utf16(feature->get_type_name());
            CAD_RPC::NodeType::type type;
            if (contains(point_feature_types, type_name)) {
                type = CAD_RPC::NodeType::Point;
            } else if (contains(curve_feature_types, type_name)) {
                type = CAD_RPC::NodeType::Curve;
            } else {
                feature = feature->get_next_feature();
                continue;
            }
            const int32_t id = registry_.register_object(feature);
            make_node(id, type, utf8_from_utf16(feature->get_name()), parent_id, feature->get_visible() != 0);
            tree_.nodes[parent_id].children_ids.push_back(id);
            feature = feature->get_next_feature();
        }
    }

    CAD_ObjectRegistry& registry_;
    CAD_RPC::Tree& tree_;
};

}  // namespace

void build_cad_tree(CAD_ObjectRegistry& registry, CAD_RPC::Tree& tree)
{
    const DocumentPtr document = registry.document();
    Builder builder(registry, tree);
    switch (document->get_document_type()) {
    case Document::kPart:
        builder.part(document);
        break;
    case Document::kAssembly:
        builder.assembly(document);
        break;
    default:
        throw std::runtime_error("ERROR: unsupported document type!");
    }
}

}  // namespace velmora::cad
