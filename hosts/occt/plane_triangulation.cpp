#include "plane_triangulation.h"

#include <algorithm>
#include <cmath>
#include <queue>
#include <utility>

#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Constrained_triangulation_face_base_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_face_base_with_info_2.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

namespace velmora::occt {
namespace {

struct VertexInfo {
    int id = 0;
    bool given = false;
};
struct FaceInfo {
    int nesting = -1;  // how many sides lie between the face and the outside
};
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Vb = CGAL::Triangulation_vertex_base_with_info_2<VertexInfo, Kernel>;
using Fb = CGAL::Constrained_triangulation_face_base_2<Kernel, CGAL::Triangulation_face_base_with_info_2<FaceInfo, Kernel>>;
// Sides that cross are cut (not refused), so that the cut tells where.
using Cdt = CGAL::Constrained_Delaunay_triangulation_2<Kernel, CGAL::Triangulation_data_structure_2<Vb, Fb>,
                                                       CGAL::Exact_predicates_tag>;

// Numbers each face by how many constrained edges separate it from the
// infinite face.
void mark_nesting(Cdt& cdt)
{
    std::queue<std::pair<Cdt::Face_handle, int>> next;
    next.emplace(cdt.infinite_face(), 0);
    std::queue<Cdt::Face_handle> level;
    while (!next.empty()) {
        const auto [start, nesting] = next.front();
        next.pop();
        if (start->info().nesting != -1) continue;
        level.push(start);
        start->info().nesting = nesting;
        while (!level.empty()) {
            const Cdt::Face_handle f = level.front();
            level.pop();
            for (int i = 0; i < 3; ++i) {
                const Cdt::Face_handle n = f->neighbor(i);
                if (n->info().nesting != -1) continue;
                if (cdt.is_constrained({f, i})) {
                    next.emplace(n, nesting + 1);
                } else {
                    n->info().nesting = nesting;
                    level.push(n);
                }
            }
        }
    }
}

bool shares_an_end(const Kernel::Segment_2& a, const Kernel::Segment_2& b)
{
    return a.source() == b.source() || a.source() == b.target() || a.target() == b.source() || a.target() == b.target();
}

}  // namespace

PlaneTriangles triangulate_plane(const std::vector<std::vector<PlaneNode>>& sides, const std::vector<PlaneNode>& interior)
{
    PlaneTriangles out;
    // A side's ends meet the sides before and after it at the vertex they
    // share, which each side's curve on the surface reaches its own way, a
    // rounding or a tolerance apart: an end is joined to the nearest end of
    // another side that carries its id, where that lies close.
    double umin = HUGE_VAL, umax = -HUGE_VAL, vmin = HUGE_VAL, vmax = -HUGE_VAL;
    for (const auto& side : sides)
        for (const PlaneNode& n : side) {
            umin = std::min(umin, n.u), umax = std::max(umax, n.u), vmin = std::min(vmin, n.v), vmax = std::max(vmax, n.v);
        }
    const double close = 1e-3 * std::hypot(umax - umin, vmax - vmin);
    struct End {
        std::size_t side;
        int id;
        Kernel::Point_2 at;
        Cdt::Vertex_handle vertex;
    };
    std::vector<End> ends;
    Cdt cdt;
    auto end_vertex = [&](std::size_t s, const PlaneNode& node) {
        const Kernel::Point_2 p(node.u, node.v);
        const End* nearest = nullptr;
        double best = close;
        for (const End& e : ends) {
            const double d = std::sqrt(CGAL::to_double(CGAL::squared_distance(e.at, p)));
            if (e.id == node.id && d <= best) nearest = &e, best = d;
        }
        const Cdt::Vertex_handle v = nearest ? nearest->vertex : cdt.insert(p);
        ends.push_back({s, node.id, p, v});
        return v;
    };
    // Each side's vertices, and the node each stands for.
    struct Link {
        Cdt::Vertex_handle vertex;
        std::size_t node;
    };
    std::vector<std::vector<Link>> chains;
    for (std::size_t s = 0; s < sides.size(); ++s) {
        auto& chain = chains.emplace_back();
        for (std::size_t k = 0; k < sides[s].size(); ++k) {
            const PlaneNode& node = sides[s][k];
            const Cdt::Vertex_handle v = k == 0 || k + 1 == sides[s].size() ? end_vertex(s, node)
                                                                            : cdt.insert(Kernel::Point_2(node.u, node.v));
            if (v->info().given && v->info().id != node.id) return out;
            v->info() = {node.id, true};
            if (chain.empty() || chain.back().vertex != v) chain.push_back({v, k});
        }
    }
    // Sides that cross are cut where they do (with a node of no id), and a
    // side through another's node is split there: each must stay whole.
    for (const auto& chain : chains)
        for (std::size_t k = 1; k < chain.size(); ++k) cdt.insert_constraint(chain[k - 1].vertex, chain[k].vertex);
    struct Segment {
        std::size_t side, node;
        Kernel::Segment_2 at;
    };
    std::vector<Segment> cut;
    for (std::size_t s = 0; s < chains.size(); ++s)
        for (std::size_t k = 1; k < chains[s].size(); ++k)
            if (!cdt.is_edge(chains[s][k - 1].vertex, chains[s][k].vertex))
                cut.push_back({s, chains[s][k - 1].node, {chains[s][k - 1].vertex->point(), chains[s][k].vertex->point()}});
    if (!cut.empty()) {
        std::vector<bool> longer(cut.size(), false), crossed(cut.size(), false);
        for (std::size_t i = 0; i < cut.size(); ++i)
            for (std::size_t j = i + 1; j < cut.size(); ++j)
                if (!shares_an_end(cut[i].at, cut[j].at) && CGAL::do_intersect(cut[i].at, cut[j].at)) {
                    crossed[i] = crossed[j] = true;
                    longer[cut[i].at.squared_length() >= cut[j].at.squared_length() ? i : j] = true;
                }
        for (std::size_t i = 0; i < cut.size(); ++i)
            if (longer[i] || !crossed[i]) out.too_long.emplace_back(cut[i].side, cut[i].node);
        return out;
    }
    for (const PlaneNode& node : interior) {
        const Kernel::Point_2 p(node.u, node.v);
        Cdt::Locate_type type;
        int i;
        const Cdt::Face_handle f = cdt.locate(p, type, i);
        // On a node or a side it would change what the sides are.
        if (type == Cdt::VERTEX || (type == Cdt::EDGE && cdt.is_constrained({f, i}))) continue;
        cdt.insert(p, type, f, i)->info() = {node.id, true};
    }
    mark_nesting(cdt);
    for (const Cdt::Face_handle f : cdt.finite_face_handles())
        if (f->info().nesting % 2 == 1)
            out.triangles.push_back({f->vertex(0)->info().id, f->vertex(1)->info().id, f->vertex(2)->info().id});
    out.made = true;
    return out;
}

}  // namespace velmora::occt
