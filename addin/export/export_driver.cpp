#include "export_driver.h"

#include <stdexcept>

#include <fmt/format.h>

#include "addin/cad/host/host.h"
#include "mass_properties.h"
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

void move_centre(zel::MIPData& mip, const Placement& placement)
{
    const zel::Point3 c = applyPlacement(placement, {mip[0], mip[1], mip[2]});
    mip[0] = c[0];
    mip[1] = c[1];
    mip[2] = c[2];
}

zel::MIPData element_mip(const cad::CAD_ObjectRegistry& registry, const CAD_RPC::Node& node)
{
    std::optional<zel::MIPData> result;
    auto fold = [&](int32_t body_id, int32_t placement_id) {
        // A body without mass properties is left out of the sum.
        if (auto mip = placedMIP(registry, body_id, placement_id)) result = result ? combineMIP(*result, *mip) : *mip;
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

}  // namespace

zel::ZelDocument buildZelDocument(const CAD_RPC::Tree& tree, const CAD_RPC::Settings& settings,
                                  const cad::CAD_ObjectRegistry& registry, BodyGeometryCache& cache,
                                  const cad::DocumentPtr& document_handle)
{
    if (!document_handle) throw std::runtime_error("Unable to get Model!");
    const cad::DocumentPtr document = document_handle;  // held for the walk
    reject_structure_cycles(tree);

    zel::ZelDocument doc;
    doc.inform = "ZEL SW Plugin";
    doc.minorVersion = 0;
    doc.majorVersion = 1;

    for (const auto& [key, node] : tree.nodes) {
        if (node.type != NodeType::Structure) continue;
        zel::StructureRecord& record = doc.structure_map[key];
        record.name = node.name;
        for (const int32_t child_id : node.children_ids) {
            switch (node_at(tree, child_id).type) {
            case NodeType::Structure:
                record.structures.push_back(child_id);
                break;
            case NodeType::Solid:
                if (settings.export_solids) record.solids.push_back(child_id);
                break;
            case NodeType::ElementMIP:
                if (settings.export_MIPs) record.element_MIPs.push_back(child_id);
                break;
            case NodeType::Curve:
                if (settings.export_curves) record.lines.push_back(child_id);
                break;
            case NodeType::Point:
                if (settings.export_points) record.points.push_back(child_id);
                break;
            default:
                break;
            }
        }
    }

    for (const auto& [key, node] : tree.nodes) {
        switch (node.type) {
        case NodeType::Solid: {
            if (!settings.export_solids) break;
            zel::SolidElem& e = doc.solid_map[key];
            e.name = node.name;
            e.method = zel::MethodType::Triangulation;
            const cad::BodyPtr body = body_of(registry, node);
            e.color = solidColour(body);
            const BodyGeometry& geometry = geometryOf(cache, body);
            const Placement placement = placementOf(registry.object_at(node.parent_id));
            e.mesh = zel::PlacedMesh{&geometry.vertices, &geometry.faces, placement.values};
            if (settings.export_MIPs) {
                if (auto mip = bodyMIP(body, document)) {
                    move_centre(*mip, placement);
                    e.MIP = *mip;
                }
            }
            e.visible = node.is_visible;
            break;
        }
        case NodeType::ElementMIP: {
            if (!settings.export_MIPs) break;
            zel::MIPElem& e = doc.element_MIP_map[key];
            e.name = node.name;
            e.method = zel::MethodType::MIP;
            e.MIP = element_mip(registry, node);
            e.visible = node.is_visible;
            break;
        }
        case NodeType::Curve: {
            if (!settings.export_curves) break;
            zel::LineElem& e = doc.line_map[key];
            e.name = node.name;
            e.method = zel::MethodType::Polyline;
            const cad::FeaturePtr feature = feature_of(registry, node);
            e.color = curveColour(feature, document);
            e.vertices = sampleCurve(feature);
            if (node.parent_id != node_at(tree, tree.root_id).id) {
                const Placement placement = placementOf(registry.object_at(node.parent_id));
                for (auto& v : e.vertices) v = applyPlacement(placement, v);
            }
            e.visible = node.is_visible;
            break;
        }
        case NodeType::Point: {
            if (!settings.export_points) break;
            zel::PointElem& e = doc.point_map[key];
            e.name = node.name;
            e.method = zel::MethodType::PointXYZ;
            e.center = pointPosition(feature_of(registry, node));
            if (node.parent_id != node_at(tree, tree.root_id).id)
                e.center = applyPlacement(placementOf(registry.object_at(node.parent_id)), e.center);
            e.visible = node.is_visible;
            break;
        }
        default:
            break;
        }
    }

    auto root = doc.structure_map.find(tree.root_id);
    if (root == doc.structure_map.end()) throw std::out_of_range("invalid unordered_map<K, T> key");
    zel::StructureRecord& r = root->second;
    doc.solids = std::move(r.solids);
    doc.element_MIPs = std::move(r.element_MIPs);
    doc.lines = std::move(r.lines);
    doc.points = std::move(r.points);
    doc.structures = std::move(r.structures);
    doc.structure_map.erase(root);
    return doc;
}

void export_zel(const CAD_RPC::Tree& tree, const CAD_RPC::Settings& settings, const cad::CAD_ObjectRegistry& registry,
                BodyGeometryCache& cache)
{
    const zel::ZelDocument doc = buildZelDocument(tree, settings, registry, cache, registry.document());
    zel::writeZelDocument(doc, settings.save_filepath);
}

}  // namespace velmora::exporter
