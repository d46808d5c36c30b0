#include "templates.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <unordered_map>

#include <fmt/format.h>

#include "host_interface/host.h"
#include "mass_properties.h"

namespace velmora::exporter {
namespace {

std::uint64_t mesh_hash(const BodyGeometry& g)
{
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a
    auto mix = [&h](const void* data, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) h = (h ^ static_cast<const unsigned char*>(data)[i]) * 1099511628211ull;
    };
    mix(g.vertices.data(), g.vertices.size() * sizeof(zel::Point3));
    mix(g.faces.data(), g.faces.size() * sizeof(zel::Triangle));
    return h;
}

bool same_mesh(const BodyGeometry& a, const BodyGeometry& b)
{
    return &a == &b || (a.vertices.size() == b.vertices.size() && a.faces.size() == b.faces.size() &&
                        std::memcmp(a.vertices.data(), b.vertices.data(), a.vertices.size() * sizeof(zel::Point3)) == 0 &&
                        a.faces == b.faces);
}

bool same_mip(const std::optional<zel::MIPData>& a, const std::optional<zel::MIPData>& b)
{
    return a.has_value() == b.has_value() && (!a || std::memcmp(a->data(), b->data(), sizeof(zel::MIPData)) == 0);
}

}  // namespace

const Template* Templates::of(int32_t key) const
{
    auto it = std::lower_bound(solids.begin(), solids.end(), std::pair<int32_t, std::uint32_t>(key, 0));
    return it != solids.end() && it->first == key ? &used[it->second] : nullptr;
}

Templates find_templates(const CAD_RPC::Tree& tree, const cad::CAD_ObjectRegistry& registry, BodyGeometryCache& cache,
                         const cad::DocumentPtr& document, bool with_mips, zel::Id first_id)
{
    std::vector<Template> groups;
    // By mesh object first (the groups of a tessellation's mesh), then by content.
    std::unordered_map<const BodyGeometry*, std::vector<std::size_t>> by_geometry;
    std::unordered_map<const BodyGeometry*, std::uint64_t> hashes;
    std::unordered_multimap<std::uint64_t, std::size_t> by_hash;
    std::vector<std::pair<int32_t, std::size_t>> members;
    for (const auto& [key, node] : tree.nodes) {
        if (node.type != CAD_RPC::NodeType::Solid) continue;
        const cad::HostObjectPtr& object = registry.object_at(node.id);
        const cad::BodyPtr body = object ? object->as_body() : nullptr;
        if (!body) throw std::runtime_error(fmt::format("ERROR: node {} ('{}') is not a solid body!", node.id, node.name));
        const BodyGeometry* geometry = &geometry_of(cache, body);
        const std::optional<zel::Colour> colour = solid_colour(body);
        const std::optional<zel::MIPData> mip = with_mips ? body_mip(body, document) : std::nullopt;
        const bool mirrored = zel::mirrors(placement_of(registry.object_at(node.parent_id)));
        auto fits = [&](std::size_t g) {
            const Template& t = groups[g];
            return t.colour == colour && t.mirrored == mirrored && same_mip(t.MIP, mip) && same_mesh(*t.geometry, *geometry);
        };
        std::optional<std::size_t> group;
        auto& of_geometry = by_geometry[geometry];
        for (const std::size_t g : of_geometry)
            if (!group && fits(g)) group = g;
        if (!group) {
            auto [memo, fresh] = hashes.try_emplace(geometry, 0);
            if (fresh) memo->second = mesh_hash(*geometry);
            for (auto [it, end] = by_hash.equal_range(memo->second); it != end && !group; ++it)
                if (fits(it->second)) group = it->second;
            if (!group) {
                group = groups.size();
                groups.push_back({body, geometry, colour, mip, mirrored, node.name, 0, 0, {}});
                by_hash.emplace(memo->second, *group);
            }
            of_geometry.push_back(*group);
        }
        ++groups[*group].uses;
        members.emplace_back(key, *group);
    }
    Templates out;
    std::vector<std::optional<std::uint32_t>> index(groups.size());
    for (const auto& [key, group] : members) {
        Template& t = groups[group];
        if (t.uses < 2) continue;
        if (!index[group]) {
            index[group] = static_cast<std::uint32_t>(out.used.size());
            t.id = first_id++;
            t.name = fmt::format("T{}_{}", out.used.size() + 1, t.first_name);
            out.used.push_back(t);
        }
        out.solids.emplace_back(key, *index[group]);  // in key order
    }
    return out;
}

}  // namespace velmora::exporter
