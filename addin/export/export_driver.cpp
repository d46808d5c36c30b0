#include "export_driver.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <unordered_map>

#include <fmt/format.h>

#include "host_interface/host.h"
#include "mass_properties.h"
#include "templates.h"
#include "zel_writer.h"

namespace velmora::exporter {
namespace {

using CAD_RPC::NodeType;

const CAD_RPC::Node& node_at(const CAD_RPC::Tree& tree, int32_t id)
{
    auto it = tree.nodes.find(id);
    if (it == tree.nodes.end()) throw std::out_of_range("invalid map<K, T> key");
    return it->second;
}

// Structures that list themselves, directly or through their children,
// would be written without end: refuse the tree.
void reject_structure_cycles(const CAD_RPC::Tree& tree)
{
    enum class Mark { None, Open, Done };
    std::unordered_map<int32_t, Mark> marks;
    struct Frame {
        int32_t id;
        std::size_t next_child;
    };
    for (const auto& [start, start_node] : tree.nodes) {
        if (start_node.type != NodeType::Structure || marks[start] != Mark::None) continue;
        std::vector<Frame> stack{{start, 0}};
        marks[start] = Mark::Open;
        while (!stack.empty()) {
            Frame& frame = stack.back();
            const auto& children = tree.nodes.at(frame.id).children_ids;
            if (frame.next_child == children.size()) {
                marks[frame.id] = Mark::Done;
                stack.pop_back();
                continue;
            }
            const int32_t child = children[frame.next_child++];
            auto it = tree.nodes.find(child);
            if (it == tree.nodes.end() || it->second.type != NodeType::Structure) continue;
            Mark& mark = marks[child];
            if (mark == Mark::Open)
                throw std::runtime_error(
                    fmt::format("ERROR: structure '{}' (node {}) contains itself!", it->second.name, child));
            if (mark == Mark::None) {
                mark = Mark::Open;
                stack.push_back({child, 0});
            }
        }
    }
}

cad::BodyPtr body_of(const cad::CAD_ObjectRegistry& registry, const CAD_RPC::Node& node)
{
    const cad::HostObjectPtr& object = registry.object_at(node.id);
    cad::BodyPtr body = object ? object->as_body() : nullptr;
    if (!body) throw std::runtime_error(fmt::format("ERROR: node {} ('{}') is not a solid body!", node.id, node.name));
    return body;
}

cad::FeaturePtr feature_of(const cad::CAD_ObjectRegistry& registry, const CAD_RPC::Node& node)
{
    const cad::HostObjectPtr& object = registry.object_at(node.id);
    cad::FeaturePtr feature = object ? object->as_feature() : nullptr;
    if (!feature) throw std::runtime_error(fmt::format("ERROR: node {} ('{}') is not a feature!", node.id, node.name));
    return feature;
}

zel::MIPData element_mip(const cad::CAD_ObjectRegistry& registry, const CAD_RPC::Node& node)
{
    std::optional<zel::MIPData> result;
    auto fold = [&](int32_t body_id, int32_t placement_id) {
        // A body without mass properties is left out of the sum.
        if (auto mip = placed_mip(registry, body_id, placement_id)) result = result ? combine_mip(*result, *mip) : *mip;
    };
    const auto& ids = node.children_ids;
    if (ids.empty()) {
        fold(node.id, node.parent_id);
    } else {
        if (ids.size() < 2) throw std::out_of_range("invalid vector subscript");
        for (std::size_t k = 0; k + 1 < ids.size(); k += 2) fold(ids[k], ids[k + 1]);
    }
    return result.value_or(zel::MIPData{});
}

// The document in named steps: every structure's lists of what it holds,
// then each element the settings ask for, then the root's lists lifted to
// the top level.
class DocumentBuilder {
public:
    DocumentBuilder(const CAD_RPC::Tree& tree, const CAD_RPC::Settings& settings,
                    const cad::CAD_ObjectRegistry& registry, BodyGeometryCache& cache, cad::DocumentPtr document)
        : tree_(tree), settings_(settings), registry_(registry), cache_(cache), document_(std::move(document))
    {
        doc_.inform = "ZEL SW Plugin";
        doc_.minorVersion = 0;
        doc_.majorVersion = 1;
    }

    zel::ZelDocument build()
    {
        if (settings_.export_solids && settings_.templates_settings == CAD_RPC::TemplatesSettings::SearchForTemplates) {
            // Template ids follow the tree's keys.
            const zel::Id first = tree_.nodes.empty() ? 1 : zel::Id(tree_.nodes.rbegin()->first) + 1;
            templates_ = find_templates(tree_, registry_, cache_, document_, settings_.export_MIPs, first);
            for (const Template& t : templates_.used) add_template(t);
        }
        for (const auto& [key, node] : tree_.nodes)
            if (node.type == NodeType::Structure) add_structure(key, node);
        for (const auto& [key, node] : tree_.nodes) add_element(key, node);
        lift_root();
        return std::move(doc_);
    }

private:
    void add_structure(int32_t key, const CAD_RPC::Node& node)
    {
        zel::StructureRecord& record = doc_.structure_map[key];
        record.name = node.name;
        for (const int32_t child_id : node.children_ids) {
            switch (node_at(tree_, child_id).type) {
            case NodeType::Structure: record.structures.push_back(child_id); break;
            case NodeType::Solid:
                if (settings_.export_solids) (template_of(child_id) ? record.solid_refs : record.solids).push_back(child_id);
                break;
            case NodeType::ElementMIP: if (settings_.export_MIPs) record.element_MIPs.push_back(child_id); break;
            case NodeType::Curve: if (settings_.export_curves) record.lines.push_back(child_id); break;
            case NodeType::Point: if (settings_.export_points) record.points.push_back(child_id); break;
            default: break;
            }
        }
    }

    void add_element(int32_t key, const CAD_RPC::Node& node)
    {
        switch (node.type) {
        case NodeType::Solid:
            if (!settings_.export_solids) break;
            if (const Template* used = template_of(key))
                add_solid_ref(doc_.solid_ref_map[key], node, *used);
            else
                add_solid(doc_.solid_map[key], node);
            break;
        case NodeType::ElementMIP: if (settings_.export_MIPs) add_element_mip(doc_.element_MIP_map[key], node); break;
        case NodeType::Curve: if (settings_.export_curves) add_line(doc_.line_map[key], node); break;
        case NodeType::Point: if (settings_.export_points) add_point(doc_.point_map[key], node); break;
        default: break;
        }
    }

    void add_solid(zel::SolidElem& e, const CAD_RPC::Node& node)
    {
        e.name = node.name;
        e.method = zel::MethodType::Triangulation;
        const cad::BodyPtr body = body_of(registry_, node);
        e.color = solid_colour(body);
        // The body's mesh is shared by its occurrences; the placement is applied as it is written.
        const BodyGeometry& geometry = geometry_of(cache_, body);
        const Placement placement = placement_of(registry_.object_at(node.parent_id));
        // A mirroring placement would turn the triangles inside out.
        e.mesh = zel::PlacedMesh{&geometry.vertices, &geometry.faces, placement, zel::mirrors(placement)};
        if (settings_.export_MIPs) {
            if (auto mip = body_mip(body, document_)) {
                place_mip(placement, *mip);
                e.MIP = *mip;
            }
        }
        e.visible = node.is_visible;
    }

    // The template in the solid's own coordinates, its MIP too.
    void add_template(const Template& t)
    {
        zel::SolidElem e;
        e.name = t.name;
        e.method = zel::MethodType::Triangulation;
        e.color = t.colour;
        e.mesh = zel::PlacedMesh{&t.geometry->vertices, &t.geometry->faces};
        e.mesh->reversed = t.mirrored;
        if (t.MIP) e.MIP = *t.MIP;
        doc_.template_solids.emplace_back(t.id, std::move(e));
    }

    // An occurrence of a template: placed by its placement, the twelve
    // numbers r0..r8, t0..t2.
    void add_solid_ref(zel::RefElem& e, const CAD_RPC::Node& node, const Template& t)
    {
        e.name = node.name;
        e.MCS = placement_of(registry_.object_at(node.parent_id));
        e.template_name = t.name;
        e.visible = node.is_visible;
    }

    void add_element_mip(zel::MIPElem& e, const CAD_RPC::Node& node)
    {
        e.name = node.name;
        e.method = zel::MethodType::MIP;
        e.MIP = element_mip(registry_, node);
        e.visible = node.is_visible;
    }

    // Curves and points of the root are in the model's coordinates already.
    bool placed(const CAD_RPC::Node& node) const { return node.parent_id != node_at(tree_, tree_.root_id).id; }

    void add_line(zel::LineElem& e, const CAD_RPC::Node& node)
    {
        e.name = node.name;
        e.method = zel::MethodType::Polyline;
        const cad::FeaturePtr feature = feature_of(registry_, node);
        e.color = curve_colour(feature, document_);
        e.vertices = sample_curve(feature);
        if (placed(node)) {
            const Placement placement = placement_of(registry_.object_at(node.parent_id));
            for (auto& v : e.vertices) v = apply_placement(placement, v);
        }
        e.visible = node.is_visible;
    }

    void add_point(zel::PointElem& e, const CAD_RPC::Node& node)
    {
        e.name = node.name;
        e.method = zel::MethodType::PointXYZ;
        e.center = point_position(feature_of(registry_, node));
        if (placed(node)) e.center = apply_placement(placement_of(registry_.object_at(node.parent_id)), e.center);
        e.visible = node.is_visible;
    }

    // The root is no structure of the file: what it holds stands at the top level.
    void lift_root()
    {
        auto root = doc_.structure_map.find(tree_.root_id);
        if (root == doc_.structure_map.end()) throw std::out_of_range("invalid unordered_map<K, T> key");
        zel::StructureRecord& r = root->second;
        doc_.solids = std::move(r.solids);
        doc_.solid_refs = std::move(r.solid_refs);
        doc_.element_MIPs = std::move(r.element_MIPs);
        doc_.lines = std::move(r.lines);
        doc_.points = std::move(r.points);
        doc_.structures = std::move(r.structures);
        doc_.structure_map.erase(root);
    }

    const CAD_RPC::Tree& tree_;
    const CAD_RPC::Settings& settings_;
    const cad::CAD_ObjectRegistry& registry_;
    BodyGeometryCache& cache_;
    const cad::DocumentPtr document_;  // held for the walk
    zel::ZelDocument doc_;
    Templates templates_;  // with "Search for templates"
    const Template* template_of(int32_t key) const { return templates_.of(key); }
};

}  // namespace

zel::ZelDocument build_zel_document(const CAD_RPC::Tree& tree, const CAD_RPC::Settings& settings,
                                  const cad::CAD_ObjectRegistry& registry, BodyGeometryCache& cache,
                                  const cad::DocumentPtr& document)
{
    reject_structure_cycles(tree);
    return DocumentBuilder(tree, settings, registry, cache, document).build();
}

void export_zel(const CAD_RPC::Tree& tree, const CAD_RPC::Settings& settings, const cad::CAD_ObjectRegistry& registry,
                BodyGeometryCache& cache)
{
    const zel::ZelDocument doc = build_zel_document(tree, settings, registry, cache, registry.document());
    zel::write_zel_document(doc, settings.save_filepath);
}

}  // namespace velmora::exporter
