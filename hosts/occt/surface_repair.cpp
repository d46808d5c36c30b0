#include "surface_repair.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <unordered_map>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Polygon_mesh_processing/border.h>
#include <CGAL/Polygon_mesh_processing/orient_polygon_soup.h>
#include <CGAL/Polygon_mesh_processing/triangulate_hole.h>
#include <CGAL/Surface_mesh.h>

namespace velmora::occt {
namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Mesh = CGAL::Surface_mesh<Kernel::Point_3>;
namespace PMP = CGAL::Polygon_mesh_processing;
using Triangle = std::array<std::size_t, 3>;

// The triangles of a soup that leave a surface every edge of which has at
// most two triangles, one each way: none of no area, none repeated (either
// way round: all copies go), none on an edge used more than twice or
// twice the same way.
std::vector<bool> at_faults(const std::vector<Kernel::Point_3>& points, const std::vector<Triangle>& triangles)
{
    std::vector<bool> out(triangles.size(), false);
    std::map<Triangle, std::vector<std::size_t>> by_corners;
    struct Uses {
        int up = 0, down = 0;
    };
    std::map<std::pair<std::size_t, std::size_t>, Uses> edges;
    for (std::size_t i = 0; i < triangles.size(); ++i) {
        const Triangle& t = triangles[i];
        if (CGAL::collinear(points[t[0]], points[t[1]], points[t[2]])) {
            out[i] = true;
            continue;
        }
        Triangle sorted = t;
        std::sort(sorted.begin(), sorted.end());
        by_corners[sorted].push_back(i);
        for (int k = 0; k < 3; ++k) {
            const std::size_t a = t[static_cast<std::size_t>(k)], b = t[static_cast<std::size_t>((k + 1) % 3)];
            Uses& uses = edges[{std::min(a, b), std::max(a, b)}];
            ++(a < b ? uses.up : uses.down);
        }
    }
    for (const auto& [corners, copies] : by_corners)
        if (copies.size() > 1)
            for (const std::size_t i : copies) out[i] = true;
    for (std::size_t i = 0; i < triangles.size(); ++i) {
        const Triangle& t = triangles[i];
        for (int k = 0; k < 3 && !out[i]; ++k) {
            const std::size_t a = t[static_cast<std::size_t>(k)], b = t[static_cast<std::size_t>((k + 1) % 3)];
            const Uses& uses = edges[{std::min(a, b), std::max(a, b)}];
            out[i] = uses.up + uses.down > 2 || uses.up > 1 || uses.down > 1;
        }
    }
    return out;
}

// The soup as a mesh, each face carrying its B-rep face; none where the
// soup is no mesh even with its non-manifold vertices doubled.
std::optional<Mesh> mesh_of(std::vector<Kernel::Point_3> points, std::vector<Triangle> triangles,
                            const std::vector<int>& faces)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        Mesh mesh;
        for (const auto& p : points) mesh.add_vertex(p);
        auto brep = mesh.add_property_map<Mesh::Face_index, int>("f:brep", -1).first;
        bool whole = true;
        for (std::size_t i = 0; i < triangles.size() && whole; ++i) {
            const Triangle& t = triangles[i];
            const Mesh::Face_index f = mesh.add_face(Mesh::Vertex_index(static_cast<Mesh::size_type>(t[0])),
                                                     Mesh::Vertex_index(static_cast<Mesh::size_type>(t[1])),
                                                     Mesh::Vertex_index(static_cast<Mesh::size_type>(t[2])));
            whole = f != Mesh::null_face();
            if (whole) brep[f] = faces[i];
        }
        if (whole) return mesh;
        // Where sheets meet at a vertex only, each gets a copy of it (at the
        // same place); the triangles keep their order and their sides.
        if (attempt == 0) PMP::orient_polygon_soup(points, triangles);
    }
    return std::nullopt;
}

}  // namespace

std::string describe(const RepairedSurface& repair)
{
    std::string out;
    if (repair.taken_out) out = std::to_string(repair.taken_out) + (repair.taken_out == 1 ? " triangle" : " triangles") + " taken out";
    if (repair.holes) {
        if (!out.empty()) out += ", ";
        out += std::to_string(repair.holes) + (repair.holes == 1 ? " hole" : " holes") + " filled";
    }
    return out;
}

std::optional<RepairedSurface> repaired_surface(const SolidMesh& in)
{
    if (in.facets.empty()) return std::nullopt;
    // Positions merged exactly, as the export merges them.
    std::vector<Kernel::Point_3> points;
    std::unordered_map<std::array<double, 3>, std::size_t, PositionHash> numbers;
    std::vector<std::size_t> number(in.points.size());
    for (std::size_t i = 0; i < in.points.size(); ++i) {
        const auto [it, fresh] = numbers.try_emplace(in.points[i], points.size());
        if (fresh) points.emplace_back(in.points[i][0], in.points[i][1], in.points[i][2]);
        number[i] = it->second;
    }
    std::vector<int> face_of(in.triangles.size(), 0);
    for (std::size_t f = 0; f < in.facets.size(); ++f)
        for (const int t : in.facets[f]) face_of[static_cast<std::size_t>(t)] = static_cast<int>(f);
    std::vector<Triangle> all;
    for (const auto& t : in.triangles)
        all.push_back({number[static_cast<std::size_t>(t[0])], number[static_cast<std::size_t>(t[1])],
                       number[static_cast<std::size_t>(t[2])]});

    RepairedSurface out;
    const std::vector<bool> faulty = at_faults(points, all);
    std::vector<Triangle> kept;
    std::vector<int> faces;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (faulty[i]) {
            ++out.taken_out;
            continue;
        }
        kept.push_back(all[i]);
        faces.push_back(face_of[i]);
    }
    std::optional<Mesh> mesh = mesh_of(points, kept, faces);
    if (!mesh) return std::nullopt;
    auto brep = mesh->property_map<Mesh::Face_index, int>("f:brep").first;

    std::vector<Mesh::Halfedge_index> borders;
    PMP::extract_boundary_cycles(*mesh, std::back_inserter(borders));
    std::vector<Mesh::Face_index> added;
    for (const Mesh::Halfedge_index h : borders) {
        const std::size_t before = added.size();
        PMP::triangulate_hole(*mesh, h, std::back_inserter(added));
        if (added.size() > before) ++out.holes;
    }
    if (out.taken_out == 0 && out.holes == 0) return std::nullopt;
    // A new triangle belongs to the face of a neighbour (that of one new
    // itself, where the hole was wide).
    for (bool open = true; open;) {
        open = false;
        for (const Mesh::Face_index f : added) {
            if (brep[f] >= 0) continue;
            for (const Mesh::Halfedge_index h : CGAL::halfedges_around_face(mesh->halfedge(f), *mesh)) {
                const Mesh::Face_index beside = mesh->face(mesh->opposite(h));
                if (beside != Mesh::null_face() && brep[beside] >= 0) {
                    brep[f] = brep[beside];
                    break;
                }
            }
            open = open || brep[f] < 0;
        }
        if (open && std::none_of(added.begin(), added.end(), [&](Mesh::Face_index f) { return brep[f] >= 0; })) break;
    }

    SolidMesh& result = out.mesh;
    result.facets.resize(in.facets.size());
    for (const Mesh::Vertex_index v : mesh->vertices()) {
        const auto& p = mesh->point(v);
        result.points.push_back({p.x(), p.y(), p.z()});
    }
    for (const Mesh::Face_index f : mesh->faces()) {
        std::array<int, 3> t{};
        int k = 0;
        for (const Mesh::Vertex_index v : CGAL::vertices_around_face(mesh->halfedge(f), *mesh))
            if (k < 3) t[static_cast<std::size_t>(k++)] = static_cast<int>(v.idx());
        const int face = std::max(brep[f], 0);
        result.facets[static_cast<std::size_t>(face)].push_back(static_cast<int>(result.triangles.size()));
        result.triangles.push_back(t);
    }
    return out;
}

}  // namespace velmora::occt
