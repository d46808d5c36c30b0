#include "occt_solid_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include <BRepAdaptor_Curve.hxx>
#include <BRep_Tool.hxx>
#include <GCPnts_TangentialDeflection.hxx>
#include <Geom2d_Curve.hxx>
#include <Geom_Curve.hxx>
#include <Poly_PolygonOnTriangulation.hxx>
#include <Poly_Triangulation.hxx>
#include <TColStd_HArray1OfReal.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_TShape.hxx>
#include <TopoDS_Vertex.hxx>

#include "plane_triangulation.h"

namespace velmora::occt {
namespace {

using Point = std::array<double, 3>;

Point point_of(const gp_Pnt& p) { return {p.X(), p.Y(), p.Z()}; }

double distance(const Point& a, const Point& b)
{
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

// An edge's nodes, from its first vertex to its last (along its parameter,
// whatever its orientation), shared by every face that holds it.
struct Chain {
    std::size_t order;  // how many chains were laid before it
    TopoDS_Edge edge;
    std::vector<int> nodes;
    // The edge's parameter at each node, where its curve and every face's
    // curve on the surface share it (empty elsewhere).
    std::vector<double> parameters;
};

// One use of an edge by a face: a seam is two (one for each side), a pole
// (a degenerated edge) one node stretched along a side of the face.
struct Side {
    TopoDS_Edge edge;  // as the face, taken forward, holds it
    Handle(Poly_PolygonOnTriangulation) polygon;  // its nodes in the face's triangulation
    Chain* chain = nullptr;
    int pole = -1;  // for a pole: its vertex's node
};

class Joiner {
public:
    Joiner(const TopoDS_Shape& solid, double deflection, double angle) : deflection_(deflection), angle_(angle)
    {
        for (TopExp_Explorer e(solid, TopAbs_FACE); e.More(); e.Next()) lay_chains(TopoDS::Face(e.Current()));
        // An edge between faces that BRepMesh left without triangles has no
        // polygon: its nodes come from its curve, as BRepMesh would place them.
        for (TopExp_Explorer e(solid, TopAbs_EDGE); e.More(); e.Next()) {
            const TopoDS_Edge& edge = TopoDS::Edge(e.Current());
            if (!BRep_Tool::Degenerated(edge) && !chains_.count(key_of(edge))) lay_chain(edge);
        }
        // Where a face's sides cross in its plane, the longer of the two
        // segments is divided at the middle of its curve and every face
        // joined again (a few times at most: refinement closes the gap
        // between two curves that meet at a tangent within a round or two).
        for (int round = 0;; ++round) {
            const std::size_t chain_nodes = mesh_.points.size();
            too_long_.clear();
            for (TopExp_Explorer e(solid, TopAbs_FACE); e.More(); e.Next())
                add_face(TopoDS::Face(e.Current()), mesh_.facets.emplace_back());
            if (too_long_.empty() || round == 8) break;
            for (std::size_t i = chain_nodes; i < mesh_.points.size(); ++i) positions_.erase(mesh_.points[i]);
            mesh_.points.resize(chain_nodes);
            mesh_.triangles.clear();
            mesh_.facets.clear();
            if (!divide_too_long()) break;
        }
    }

    SolidMesh take()
    {
        // Both below untangle edges used more than twice; most solids have none.
        if (any_edge_used_more_than_twice()) {
            turn_shared_diagonals();
            drop_back_to_back();
        }
        return std::move(mesh_);
    }

private:
    using EdgeKey = std::tuple<const TopoDS_TShape*, int, int>;

    // A new node at its own position: the export merges equal positions,
    // and two nodes of the B-rep at one place (where the solid touches
    // itself, say) would join sheets that it keeps apart. Such a node moves
    // by the least step a double takes.
    int add_point(Point p)
    {
        while (!positions_.insert(p).second) p[0] = std::nextafter(p[0], HUGE_VAL);
        mesh_.points.push_back(p);
        return static_cast<int>(mesh_.points.size()) - 1;
    }

    bool any_edge_used_more_than_twice() const
    {
        std::unordered_map<std::uint64_t, int> uses;
        uses.reserve(mesh_.triangles.size() * 2);
        for (const auto& t : mesh_.triangles)
            for (int k = 0; k < 3; ++k) {
                const auto a = static_cast<std::uint32_t>(t[static_cast<std::size_t>(k)]);
                const auto b = static_cast<std::uint32_t>(t[static_cast<std::size_t>((k + 1) % 3)]);
                if (++uses[a < b ? std::uint64_t{a} << 32 | b : std::uint64_t{b} << 32 | a] > 2) return true;
            }
        return false;
    }

    // Where two faces touch along a line between two nodes (two cylinders
    // tangent to each other, say), each may put a diagonal of its
    // triangles there: one edge of the mesh, used four times. The later
    // face's two triangles on it take the other diagonal of their quad.
    void turn_shared_diagonals()
    {
        std::vector<int> face_of(mesh_.triangles.size());
        for (std::size_t f = 0; f < mesh_.facets.size(); ++f)
            for (const int t : mesh_.facets[f]) face_of[static_cast<std::size_t>(t)] = static_cast<int>(f);
        auto ends = [](int a, int b) { return a < b ? std::pair(a, b) : std::pair(b, a); };
        std::map<std::pair<int, int>, std::vector<std::size_t>> users;
        for (std::size_t t = 0; t < mesh_.triangles.size(); ++t)
            for (int k = 0; k < 3; ++k)
                users[ends(mesh_.triangles[t][static_cast<std::size_t>(k)], mesh_.triangles[t][static_cast<std::size_t>((k + 1) % 3)])]
                    .push_back(t);
        for (auto& [edge, on] : users) {
            // From the last face with two triangles on the edge, while it is
            // used more than twice.
            for (std::size_t i = on.size(); on.size() > 2 && i-- > 1;) {
                std::size_t j = i;
                while (j-- > 0 && face_of[on[j]] != face_of[on[i]]) {
                }
                if (j == SIZE_MAX) continue;
                auto& a = mesh_.triangles[on[j]];
                auto& b = mesh_.triangles[on[i]];
                // a = (p, q, c) with p -> q on the edge, b = (q, p, d).
                while (ends(a[0], a[1]) != edge) std::rotate(a.begin(), a.begin() + 1, a.end());
                while (ends(b[0], b[1]) != edge) std::rotate(b.begin(), b.begin() + 1, b.end());
                const int p = a[0], q = a[1], c = a[2], d = b[2];
                if (b[0] != q || b[1] != p || c == d || users.count(ends(c, d))) continue;
                a = {c, p, d};
                b = {d, q, c};
                users[ends(c, d)] = {on[j], on[i]};
                std::replace(users[ends(p, d)].begin(), users[ends(p, d)].end(), on[i], on[j]);
                std::replace(users[ends(q, c)].begin(), users[ends(q, c)].end(), on[j], on[i]);
                on.erase(on.begin() + static_cast<std::ptrdiff_t>(i));
                on.erase(on.begin() + static_cast<std::ptrdiff_t>(j));
                i = on.size();
            }
        }
    }

    // Where two faces close a corner between two edges they share, each
    // with a triangle on the same three nodes, the two triangles lie back to
    // back, enclose nothing and use their edges twice over: both go.
    void drop_back_to_back()
    {
        std::map<std::array<int, 3>, std::size_t> by_corners;
        auto turned = [](std::array<int, 3> t) {
            std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
            return t;
        };
        std::vector<bool> dropped(mesh_.triangles.size(), false);
        for (std::size_t i = 0; i < mesh_.triangles.size(); ++i) {
            const auto& t = mesh_.triangles[i];
            const auto back = by_corners.find(turned({t[0], t[2], t[1]}));
            if (back != by_corners.end() && !dropped[back->second]) {
                dropped[i] = dropped[back->second] = true;
                by_corners.erase(back);
            } else {
                by_corners.emplace(turned(t), i);
            }
        }
        if (std::find(dropped.begin(), dropped.end(), true) == dropped.end()) return;
        std::vector<int> renumbered(mesh_.triangles.size(), -1);
        std::vector<std::array<int, 3>> kept;
        for (std::size_t i = 0; i < mesh_.triangles.size(); ++i)
            if (!dropped[i]) {
                renumbered[i] = static_cast<int>(kept.size());
                kept.push_back(mesh_.triangles[i]);
            }
        mesh_.triangles = std::move(kept);
        for (auto& facets : mesh_.facets) {
            std::vector<int> left;
            for (const int t : facets)
                if (renumbered[static_cast<std::size_t>(t)] >= 0) left.push_back(renumbered[static_cast<std::size_t>(t)]);
            facets = std::move(left);
        }
    }

    // The vertex's node: the same vertex is reached through each of its
    // edges and faces, with locations composed in other orders, so one node
    // is one point within the vertex's tolerance, placed where it was first found.
    int vertex_node(const TopoDS_Vertex& vertex)
    {
        const Point p = point_of(BRep_Tool::Pnt(vertex));
        const double tolerance = BRep_Tool::Tolerance(vertex);
        auto [begin, end] = vertex_nodes_.equal_range(vertex.TShape().get());
        for (auto it = begin; it != end; ++it)
            if (distance(mesh_.points[static_cast<std::size_t>(it->second)], p) <= tolerance) return it->second;
        const int node = add_point(p);
        vertex_nodes_.emplace(vertex.TShape().get(), node);
        return node;
    }

    // By the edge itself and the nodes of its ends: the same edge placed
    // elsewhere in the solid ends elsewhere.
    EdgeKey key_of(const TopoDS_Edge& edge)
    {
        return {edge.TShape().get(), vertex_node(TopExp::FirstVertex(edge)), vertex_node(TopExp::LastVertex(edge))};
    }

    // Gives each edge of the face that has none yet its chain, from the
    // face's polygon on it: ends at the vertices, the nodes between on the
    // edge's curve, so that no face's own rounding decides them.
    void lay_chains(const TopoDS_Face& face)
    {
        TopLoc_Location loc;
        const Handle(Poly_Triangulation) tri = BRep_Tool::Triangulation(face, loc);
        if (tri.IsNull()) return;
        for (TopExp_Explorer e(face.Oriented(TopAbs_FORWARD), TopAbs_EDGE); e.More(); e.Next()) {
            const TopoDS_Edge& edge = TopoDS::Edge(e.Current());
            if (BRep_Tool::Degenerated(edge)) continue;
            const EdgeKey key = key_of(edge);
            if (chains_.count(key)) continue;
            const Handle(Poly_PolygonOnTriangulation)& polygon = BRep_Tool::PolygonOnTriangulation(edge, tri, loc);
            if (polygon.IsNull() || polygon->NbNodes() < 2) continue;
            double from = 0, to = 0;
            TopLoc_Location curve_loc;
            Handle(Geom_Curve) curve;
            if (polygon->HasParameters() && BRep_Tool::SameParameter(edge) && BRep_Tool::SameRange(edge))
                curve = BRep_Tool::Curve(edge, curve_loc, from, to);
            const int count = polygon->NbNodes();
            std::vector<Point> places;
            for (int k = 1; k <= count; ++k)
                places.push_back(point_of(curve.IsNull() ? tri->Node(polygon->Node(k)).Transformed(loc.Transformation())
                                                         : curve->Value(polygon->Parameter(k)).Transformed(curve_loc.Transformation())));
            // BRepMesh may leave an edge as a chord or two that stray far
            // from it (a whole circle as one point, read from IGES): such an
            // edge is divided from its curve instead.
            bool strays = false;
            for (int k = 1; k < count && !curve.IsNull() && !strays; ++k) {
                const gp_Pnt middle = curve->Value((polygon->Parameter(k) + polygon->Parameter(k + 1)) / 2)
                                          .Transformed(curve_loc.Transformation());
                const Point& a = places[static_cast<std::size_t>(k - 1)];
                const Point& b = places[static_cast<std::size_t>(k)];
                strays = distance(point_of(middle), {(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2}) >
                         4 * deflection_ + BRep_Tool::Tolerance(edge);
            }
            if (strays) {
                lay_chain(edge);
                continue;
            }
            Chain& chain = chains_[key];
            chain.order = chains_.size() - 1;
            chain.edge = edge;
            for (int k = 1; k <= count; ++k) {
                if (!curve.IsNull()) chain.parameters.push_back(polygon->Parameter(k));
                if (k == 1 || k == count)
                    chain.nodes.push_back(k == 1 ? std::get<1>(key) : std::get<2>(key));
                else
                    chain.nodes.push_back(add_point(places[static_cast<std::size_t>(k - 1)]));
            }
        }
    }

    // Gives the edge a chain divided from its curve, at BRepMesh's limits.
    void lay_chain(const TopoDS_Edge& edge)
    {
        const EdgeKey key = key_of(edge);
        BRepAdaptor_Curve curve(edge);
        // A closed edge needs a node between its ends to be anything but a point.
        const GCPnts_TangentialDeflection points(curve, angle_, deflection_, std::get<1>(key) == std::get<2>(key) ? 3 : 2);
        if (points.NbPoints() < 2) return;
        Chain& chain = chains_[key];
        chain.order = chains_.size() - 1;
        chain.edge = edge;
        for (int k = 1; k <= points.NbPoints(); ++k) {
            if (BRep_Tool::SameParameter(edge) && BRep_Tool::SameRange(edge)) chain.parameters.push_back(points.Parameter(k));
            if (k == 1 || k == points.NbPoints())
                chain.nodes.push_back(k == 1 ? std::get<1>(key) : std::get<2>(key));
            else
                chain.nodes.push_back(add_point(point_of(points.Value(k))));
        }
    }

    // Divides the chains' segments found too long in the middle of their
    // curve; false where none could be (a chain without parameters).
    bool divide_too_long()
    {
        bool divided = false;
        for (auto& [order, firsts] : too_long_) {
            Chain& chain = *order.second;
            TopLoc_Location loc;
            double from, to;
            const Handle(Geom_Curve) curve = BRep_Tool::Curve(chain.edge, loc, from, to);
            if (chain.parameters.empty() || curve.IsNull()) continue;
            // From the end, so that the nodes before keep their places.
            for (auto k = firsts.rbegin(); k != firsts.rend(); ++k) {
                const double t = (chain.parameters[*k] + chain.parameters[*k + 1]) / 2;
                const auto at = static_cast<std::ptrdiff_t>(*k + 1);
                chain.parameters.insert(chain.parameters.begin() + at, t);
                chain.nodes.insert(chain.nodes.begin() + at, add_point(point_of(curve->Value(t).Transformed(loc.Transformation()))));
                divided = true;
            }
        }
        return divided;
    }

    // The face's edges as its triangles should meet them.
    std::vector<Side> sides_of(const TopoDS_Face& forward, const Handle(Poly_Triangulation) & tri, const TopLoc_Location& loc)
    {
        std::vector<Side> sides;
        for (TopExp_Explorer e(forward, TopAbs_EDGE); e.More(); e.Next()) {
            Side& side = sides.emplace_back();
            side.edge = TopoDS::Edge(e.Current());
            if (!tri.IsNull()) side.polygon = BRep_Tool::PolygonOnTriangulation(side.edge, tri, loc);
            if (BRep_Tool::Degenerated(side.edge)) {
                side.pole = vertex_node(TopExp::FirstVertex(side.edge));
            } else if (const auto it = chains_.find(key_of(side.edge)); it != chains_.end()) {
                side.chain = &it->second;
            }
        }
        return sides;
    }

    // The node of each of the triangulation's nodes on the sides (-1 for
    // those inside); none where a side's polygon is missing, holds other
    // nodes than its chain, or two sides disagree on a node.
    static std::optional<std::vector<int>> side_nodes(const Poly_Triangulation& tri, const std::vector<Side>& sides)
    {
        std::vector<int> ids(static_cast<std::size_t>(tri.NbNodes()), -1);
        for (const Side& side : sides) {
            if (side.polygon.IsNull()) return std::nullopt;
            const int count = side.polygon->NbNodes();
            if (side.pole < 0 && (!side.chain || side.chain->nodes.size() != static_cast<std::size_t>(count)))
                return std::nullopt;
            for (int k = 1; k <= count; ++k) {
                int& id = ids[static_cast<std::size_t>(side.polygon->Node(k) - 1)];
                const int node = side.pole >= 0 ? side.pole : side.chain->nodes[static_cast<std::size_t>(k - 1)];
                if (id != -1 && id != node) return std::nullopt;
                id = node;
            }
        }
        return ids;
    }

    // Whether the triangles end exactly on the sides' polygons: each segment
    // of a polygon used by one triangle, every other edge by two, one each way.
    static bool meets_its_sides(const Poly_Triangulation& tri, const std::vector<Side>& sides)
    {
        struct Uses {
            int count = 0, balance = 0;
            bool side = false;
        };
        std::unordered_map<std::uint64_t, Uses> edges;
        auto key = [](int a, int b) {
            return a < b ? std::uint64_t(unsigned(a)) << 32 | unsigned(b) : std::uint64_t(unsigned(b)) << 32 | unsigned(a);
        };
        for (int t = 1; t <= tri.NbTriangles(); ++t) {
            int n[3];
            tri.Triangle(t).Get(n[0], n[1], n[2]);
            if (n[0] == n[1] || n[1] == n[2] || n[2] == n[0]) return false;
            for (int k = 0; k < 3; ++k) {
                Uses& uses = edges[key(n[k], n[(k + 1) % 3])];
                ++uses.count;
                uses.balance += n[k] < n[(k + 1) % 3] ? 1 : -1;
            }
        }
        for (const Side& side : sides)
            for (int k = 1; k < side.polygon->NbNodes(); ++k) {
                const int a = side.polygon->Node(k), b = side.polygon->Node(k + 1);
                if (a == b) continue;
                Uses& uses = edges[key(a, b)];
                if (uses.side || uses.count != 1) return false;
                uses.side = true;
            }
        for (const auto& [edge, uses] : edges)
            if (!uses.side && (uses.count != 2 || uses.balance != 0)) return false;
        return true;
    }

    // The face's sides in its parameter plane: BRepMesh's own places of
    // their nodes where the face's polygon holds the chain's nodes (unless
    // `curves` asks otherwise), else the edge's curve on the surface at the
    // chain's parameters. None where a side has neither. `own` tells
    // whether every side was placed by BRepMesh.
    static std::optional<std::vector<std::vector<PlaneNode>>> plane_sides(const TopoDS_Face& forward,
                                                                           const Handle(Poly_Triangulation) & tri,
                                                                           const std::vector<Side>& sides, bool curves,
                                                                           bool& own)
    {
        const bool uv = !tri.IsNull() && tri->HasUVNodes();
        own = true;
        std::vector<std::vector<PlaneNode>> out;
        for (const Side& side : sides) {
            auto& nodes = out.emplace_back();
            double first = 0, last = 0;
            const Handle(Geom2d_Curve) pcurve = BRep_Tool::CurveOnSurface(side.edge, forward, first, last);
            const int polygon_count = side.polygon.IsNull() ? 0 : side.polygon->NbNodes();
            auto add_own = [&](int node) {
                for (int k = 1; k <= polygon_count; ++k) {
                    const gp_Pnt2d p = tri->UVNode(side.polygon->Node(k));
                    nodes.push_back({p.X(), p.Y(), node >= 0 ? node : side.chain->nodes[static_cast<std::size_t>(k - 1)]});
                }
            };
            if (side.pole >= 0) {
                if (uv && polygon_count >= 2) {
                    add_own(side.pole);
                } else if (!pcurve.IsNull()) {
                    own = false;
                    for (const double t : {first, last}) nodes.push_back({pcurve->Value(t).X(), pcurve->Value(t).Y(), side.pole});
                } else {
                    return std::nullopt;
                }
                continue;
            }
            if (!side.chain) return std::nullopt;
            const Chain& chain = *side.chain;
            const bool has_own = uv && static_cast<std::size_t>(polygon_count) == chain.nodes.size();
            const bool has_curve = !pcurve.IsNull() && !chain.parameters.empty();
            if (has_own && !(curves && has_curve)) {
                add_own(-1);
                continue;
            }
            if (!has_curve) return std::nullopt;
            own = false;
            for (std::size_t k = 0; k < chain.nodes.size(); ++k) {
                const gp_Pnt2d p = pcurve->Value(chain.parameters[k]);
                nodes.push_back({p.X(), p.Y(), chain.nodes[k]});
            }
        }
        return out;
    }

    // The face's triangles made anew in its parameter plane on its chains,
    // with BRepMesh's nodes inside it; ids >= 0 are nodes of the mesh, -n
    // the triangulation's node n. BRepMesh's places of the sides' nodes
    // first (a curve on the surface may stray from its edge by up to the
    // edge's tolerance), the curves' then (BRepMesh's places may fold back
    // along a side). None where neither gives a clean region; where the
    // sides cross, the segments to divide are noted.
    std::optional<std::vector<std::array<int, 3>>> retriangulated(const TopoDS_Face& forward,
                                                                  const Handle(Poly_Triangulation) & tri,
                                                                  const std::vector<Side>& sides)
    {
        std::vector<PlaneNode> inside;
        if (!tri.IsNull() && tri->HasUVNodes()) {
            std::vector<bool> on_side(static_cast<std::size_t>(tri->NbNodes()) + 1, false);
            for (const Side& side : sides)
                for (int k = 1; !side.polygon.IsNull() && k <= side.polygon->NbNodes(); ++k)
                    on_side[static_cast<std::size_t>(side.polygon->Node(k))] = true;
            for (int n = 1; n <= tri->NbNodes(); ++n)
                if (!on_side[static_cast<std::size_t>(n)]) inside.push_back({tri->UVNode(n).X(), tri->UVNode(n).Y(), -n});
        }
        std::vector<std::pair<std::size_t, std::size_t>> too_long;
        for (const bool curves : {false, true}) {
            bool own = false;
            const auto placed = plane_sides(forward, tri, sides, curves, own);
            if (!placed) continue;
            PlaneTriangles plane = triangulate_plane(*placed, inside);
            if (plane.made) return std::move(plane.triangles);
            // Where the crossings are is told by the places all from one source.
            if (too_long.empty() && (own || curves)) too_long = std::move(plane.too_long);
        }
        for (const auto& [side, first] : too_long)
            if (Chain* chain = sides[side].chain) too_long_[{chain->order, chain}].insert(first);
        return std::nullopt;
    }

    void add_face(const TopoDS_Face& face, std::vector<int>& facets)
    {
        TopLoc_Location loc;
        const Handle(Poly_Triangulation) tri = BRep_Tool::Triangulation(face, loc);
        const TopoDS_Face forward = TopoDS::Face(face.Oriented(TopAbs_FORWARD));
        const std::vector<Side> sides = sides_of(forward, tri, loc);
        const gp_Trsf trsf = loc.Transformation();
        std::vector<int> ids;
        // The node of the triangulation's node n (from 1), made on first use.
        auto node = [&](int n) {
            int& id = ids[static_cast<std::size_t>(n - 1)];
            if (id == -1) id = add_point(point_of(tri->Node(n).Transformed(trsf)));
            return id;
        };
        const bool reversed = face.Orientation() == TopAbs_REVERSED;
        auto emit = [&](int a, int b, int c) {
            if (reversed) std::swap(b, c);
            // A triangle with two corners at one position (collapsed onto a
            // pole, say) would be an edge walked both ways once merged.
            const auto &pa = mesh_.points[static_cast<std::size_t>(a)], &pb = mesh_.points[static_cast<std::size_t>(b)],
                       &pc = mesh_.points[static_cast<std::size_t>(c)];
            if (pa == pb || pb == pc || pc == pa) return;
            facets.push_back(static_cast<int>(mesh_.triangles.size()));
            mesh_.triangles.push_back({a, b, c});
        };
        std::optional<std::vector<int>> on_sides;
        if (!tri.IsNull()) on_sides = side_nodes(*tri, sides);
        if (on_sides && meets_its_sides(*tri, sides)) {
            ids = std::move(*on_sides);
            for (int t = 1; t <= tri->NbTriangles(); ++t) {
                int a, b, c;
                tri->Triangle(t).Get(a, b, c);
                emit(node(a), node(b), node(c));
            }
            return;
        }
        if (!tri.IsNull()) ids.assign(static_cast<std::size_t>(tri->NbNodes()), -1);
        if (const auto triangles = retriangulated(forward, tri, sides)) {
            for (const auto& t : *triangles) {
                int n[3];
                for (int k = 0; k < 3; ++k) n[k] = t[k] >= 0 ? t[k] : node(-t[k]);
                emit(n[0], n[1], n[2]);
            }
            return;
        }
        // Left as BRepMesh made it, its nodes on the sides where they agree:
        // the check that follows tells what is still open.
        if (tri.IsNull()) return;
        for (const Side& side : sides) {
            const int count = side.polygon.IsNull() ? 0 : side.polygon->NbNodes();
            const bool fits = side.pole >= 0 || (side.chain && side.chain->nodes.size() == static_cast<std::size_t>(count));
            for (int k = 1; fits && k <= count; ++k) {
                int& id = ids[static_cast<std::size_t>(side.polygon->Node(k) - 1)];
                if (id == -1) id = side.pole >= 0 ? side.pole : side.chain->nodes[static_cast<std::size_t>(k - 1)];
            }
        }
        for (int t = 1; t <= tri->NbTriangles(); ++t) {
            int a, b, c;
            tri->Triangle(t).Get(a, b, c);
            emit(node(a), node(b), node(c));
        }
    }

    const double deflection_, angle_;  // BRepMesh's limits
    SolidMesh mesh_;
    std::unordered_set<Point, PositionHash> positions_;
    std::unordered_multimap<const TopoDS_TShape*, int> vertex_nodes_;
    std::map<EdgeKey, Chain> chains_;
    // By chain, the first nodes of segments to divide.
    std::map<std::pair<std::size_t, Chain*>, std::set<std::size_t>> too_long_;
};

}  // namespace

SolidMesh joined_mesh(const TopoDS_Shape& solid, double deflection, double angle)
{
    return Joiner(solid, deflection, angle).take();
}

bool brep_closed(const TopoDS_Shape& solid)
{
    // By the edge itself, not its placement: faces with locations of their
    // own reach one edge through differently composed locations.
    std::unordered_map<const TopoDS_TShape*, int> balance;
    for (TopExp_Explorer f(solid, TopAbs_FACE); f.More(); f.Next())
        for (TopExp_Explorer e(f.Current(), TopAbs_EDGE); e.More(); e.Next()) {
            const TopoDS_Edge& edge = TopoDS::Edge(e.Current());
            if (BRep_Tool::Degenerated(edge)) continue;
            if (edge.Orientation() == TopAbs_FORWARD) ++balance[edge.TShape().get()];
            if (edge.Orientation() == TopAbs_REVERSED) --balance[edge.TShape().get()];
        }
    for (const auto& [edge, walked] : balance)
        if (walked != 0) return false;
    return true;
}

}  // namespace velmora::occt
