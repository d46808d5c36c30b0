#include "occt_solid_mesh.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <tuple>
#include <unordered_map>
#include <utility>

#include <BRep_Tool.hxx>
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

namespace velmora::occt {
namespace {

using Point = std::array<double, 3>;

Point point_of(const gp_Pnt& p) { return {p.X(), p.Y(), p.Z()}; }

double distance(const Point& a, const Point& b)
{
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

std::uint64_t bits(double v)
{
    v += 0.0;  // -0.0 is +0.0, as the export's merge has it
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

struct PointHash {
    std::size_t operator()(const Point& p) const
    {
        std::uint64_t h = bits(p[0]) * 0x9E3779B97F4A7C15ull;
        h = (h ^ (h >> 29) ^ bits(p[1])) * 0xBF58476D1CE4E5B9ull;
        h = (h ^ (h >> 32) ^ bits(p[2])) * 0x94D049BB133111EBull;
        return static_cast<std::size_t>(h ^ (h >> 31));
    }
};

struct PointEqual {
    bool operator()(const Point& a, const Point& b) const { return a == b; }
};

// The positions of a solid's edge nodes, each decided once from its edge.
class EdgeNodes {
public:
    // Moves the nodes of `face` (`nodes`, in the solid's frame, numbered
    // as `tri` numbers them from 1) that lie on its edges.
    void place(const TopoDS_Face& face, const Handle(Poly_Triangulation) & tri, Point* nodes)
    {
        moved_.clear();
        placed_.assign(static_cast<std::size_t>(tri->NbNodes()), false);
        for (TopExp_Explorer e(face, TopAbs_EDGE); e.More(); e.Next()) {
            const TopoDS_Edge& edge = TopoDS::Edge(e.Current());
            // A seam has a polygon for each of its sides.
            Handle(Poly_PolygonOnTriangulation) polygon;
            Handle(Poly_Triangulation) on;
            TopLoc_Location loc;
            for (int i = 1;; ++i) {
                BRep_Tool::PolygonOnTriangulation(edge, polygon, on, loc, i);
                if (polygon.IsNull()) break;
                if (on == tri) place(edge, *polygon, nodes);
            }
        }
        // BRepMesh may put a second node at an edge node's position that no
        // polygon holds (along a seam, say); it moves with the edge's node.
        if (moved_.empty()) return;
        for (std::size_t n = 0; n < placed_.size(); ++n)
            if (!placed_[n])
                if (const auto it = moved_.find(nodes[n]); it != moved_.end()) nodes[n] = it->second;
    }

private:
    void place(const TopoDS_Edge& edge, const Poly_PolygonOnTriangulation& polygon, Point* nodes)
    {
        const int count = polygon.NbNodes();
        // The polygon runs along the edge's parameter, from its first vertex
        // (regardless of the edge's orientation) to its last.
        const int first = vertex_place(TopExp::FirstVertex(edge)), last = vertex_place(TopExp::LastVertex(edge));
        const bool pole = BRep_Tool::Degenerated(edge);
        // The polygon's parameters are its face's pcurve's: the edge's curve
        // has them only where the two agree.
        double from = 0, to = 0;
        Handle(Geom_Curve) curve;
        TopLoc_Location curve_loc;
        if (!pole && polygon.HasParameters() && BRep_Tool::SameParameter(edge) && BRep_Tool::SameRange(edge))
            curve = BRep_Tool::Curve(edge, curve_loc, from, to);
        for (int k = 1; k <= count; ++k) {
            const int index = polygon.Node(k) - 1;
            Point& node = nodes[index];
            if (placed_[static_cast<std::size_t>(index)]) continue;  // a vertex, placed for an earlier edge
            Point position;
            if (pole || k == 1 || k == count) {
                position = vertex_points_[static_cast<std::size_t>(pole || k == 1 ? first : last)];
            } else {
                // The same edge placed elsewhere in the solid ends at other places.
                const auto [it, fresh] = edge_nodes_.try_emplace({edge.TShape().get(), first, last, k, count}, node);
                if (fresh && !curve.IsNull())
                    it->second = point_of(curve->Value(polygon.Parameter(k)).Transformed(curve_loc.Transformation()));
                position = it->second;
            }
            moved_.try_emplace(node, position);
            node = position;
            placed_[static_cast<std::size_t>(index)] = true;
        }
    }

    // The vertex's place in the solid: the same vertex is reached through
    // each of its edges and faces, with locations composed in other orders,
    // so one place is one point within the vertex's tolerance. Its position
    // is the point it was first found at.
    int vertex_place(const TopoDS_Vertex& vertex)
    {
        const Point p = point_of(BRep_Tool::Pnt(vertex));
        const double tolerance = BRep_Tool::Tolerance(vertex);
        auto [begin, end] = vertex_places_.equal_range(vertex.TShape().get());
        for (auto it = begin; it != end; ++it)
            if (distance(vertex_points_[static_cast<std::size_t>(it->second)], p) <= tolerance) return it->second;
        vertex_points_.push_back(p);
        const int place = static_cast<int>(vertex_points_.size()) - 1;
        vertex_places_.emplace(vertex.TShape().get(), place);
        return place;
    }

    // The face's nodes placed so far, and where each position went.
    std::vector<bool> placed_;
    std::unordered_map<Point, Point, PointHash, PointEqual> moved_;

    std::unordered_multimap<const TopoDS_TShape*, int> vertex_places_;
    std::vector<Point> vertex_points_;
    // By edge, the places of its ends, the node and the polygon's size.
    std::map<std::tuple<const TopoDS_TShape*, int, int, int, int>, Point> edge_nodes_;
};

}  // namespace

SolidMesh joined_mesh(const TopoDS_Shape& solid)
{
    SolidMesh mesh;
    EdgeNodes edge_nodes;
    for (TopExp_Explorer e(solid, TopAbs_FACE); e.More(); e.Next()) {
        const TopoDS_Face& face = TopoDS::Face(e.Current());
        TopLoc_Location loc;
        const Handle(Poly_Triangulation) tri = BRep_Tool::Triangulation(face, loc);
        auto& ids = mesh.facets.emplace_back();
        if (tri.IsNull()) continue;
        const gp_Trsf trsf = loc.Transformation();
        auto& points = mesh.points;
        const int base = static_cast<int>(points.size());
        for (int n = 1; n <= tri->NbNodes(); ++n) points.push_back(point_of(tri->Node(n).Transformed(trsf)));
        edge_nodes.place(face, tri, points.data() + base);
        const bool reversed = face.Orientation() == TopAbs_REVERSED;
        for (int t = 1; t <= tri->NbTriangles(); ++t) {
            int a, b, c;
            tri->Triangle(t).Get(a, b, c);
            if (reversed) std::swap(b, c);
            // A triangle that collapses onto a pole has two corners at one
            // position; after merging it would be an edge walked both ways.
            const auto& pa = points[static_cast<std::size_t>(base + a - 1)];
            const auto& pb = points[static_cast<std::size_t>(base + b - 1)];
            const auto& pc = points[static_cast<std::size_t>(base + c - 1)];
            if (pa == pb || pb == pc || pc == pa) continue;
            ids.push_back(static_cast<int>(mesh.triangles.size()));
            mesh.triangles.push_back({base + a - 1, base + b - 1, base + c - 1});
        }
    }
    return mesh;
}

std::size_t open_edges(const SolidMesh& mesh)
{
    std::unordered_map<Point, std::uint32_t, PointHash, PointEqual> numbers;
    numbers.reserve(mesh.points.size());
    std::vector<std::uint32_t> number(mesh.points.size());
    for (std::size_t i = 0; i < mesh.points.size(); ++i)
        number[i] = numbers.try_emplace(mesh.points[i], static_cast<std::uint32_t>(numbers.size())).first->second;
    // Per edge between two positions (lower number first): how many more
    // times it is walked upward than downward.
    std::unordered_map<std::uint64_t, long> balance;
    balance.reserve(mesh.triangles.size() * 2);
    for (const auto& t : mesh.triangles)
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = number[static_cast<std::size_t>(t[k])], b = number[static_cast<std::size_t>(t[(k + 1) % 3])];
            if (a < b)
                ++balance[(std::uint64_t{a} << 32) | b];
            else
                --balance[(std::uint64_t{b} << 32) | a];
        }
    std::size_t open = 0;
    for (const auto& [edge, walked] : balance) open += static_cast<std::size_t>(std::labs(walked));
    return open;
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
