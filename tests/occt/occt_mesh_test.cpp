// Meshing parts in parallel and numbering their vertices: the same
// triangles and the same numbers as the plain, serial way.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <random>

#include <BRepTools.hxx>
#include <BRep_Tool.hxx>
#include <Poly_Triangulation.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>

#include "addin/cad/host/host.h"
#include "addin/export/geometry.h"
#include "examples/large_model.h"
#include "hosts/occt/occt_mesh.h"
#include "served_model.h"

using namespace velmora;

namespace {

// Every face's nodes and triangles, in explorer order.
struct FaceMesh {
    std::vector<std::array<double, 3>> nodes;
    std::vector<std::array<int, 3>> triangles;
    bool operator==(const FaceMesh&) const = default;
};

std::vector<FaceMesh> meshes_of(const TopoDS_Shape& shape)
{
    std::vector<FaceMesh> out;
    for (TopExp_Explorer e(shape, TopAbs_FACE); e.More(); e.Next()) {
        TopLoc_Location loc;
        const Handle(Poly_Triangulation) tri = BRep_Tool::Triangulation(TopoDS::Face(e.Current()), loc);
        FaceMesh& m = out.emplace_back();
        if (tri.IsNull()) continue;
        for (int n = 1; n <= tri->NbNodes(); ++n) {
            const gp_Pnt p = tri->Node(n).Transformed(loc.Transformation());
            m.nodes.push_back({p.X(), p.Y(), p.Z()});
        }
        for (int t = 1; t <= tri->NbTriangles(); ++t) {
            int a, b, c;
            tri->Triangle(t).Get(a, b, c);
            m.triangles.push_back({a, b, c});
        }
    }
    return out;
}

// Two parts of each kind of the large model, built afresh.
std::vector<TopoDS_Shape> some_parts()
{
    std::vector<TopoDS_Shape> parts;
    for (int i = 0; i < 12; ++i) parts.push_back(examples::large_model_part(i * 13 % 150));
    return parts;
}

// The export's walk as it always was: every corner's position asked of the
// host, numbered through an ordered map.
exporter::BodyGeometry walked_by_map(const cad::BodyPtr& body)
{
    exporter::BodyGeometry g;
    const cad::TessellationPtr t = body->get_tessellation(0);
    t->tessellate();
    std::map<zel::Point3, std::uint64_t> index;
    for (cad::FacePtr face = body->get_first_face(); face; face = face->get_next_face())
        for (const int facet : t->get_facets(face)) {
            const std::vector<int> fins = t->get_fins(facet);
            zel::Triangle triangle{};
            for (int k = 0; k < 3; ++k) {
                const std::vector<double> xyz = t->get_vertex_point(t->get_fin_vertices(fins[k])[1]);
                const zel::Point3 p{xyz[0], xyz[1], xyz[2]};
                auto [it, inserted] = index.try_emplace(p, g.vertices.size() + 1);
                if (inserted) g.vertices.push_back(p);
                triangle[k] = it->second;
            }
            g.faces.push_back(triangle);
        }
    return g;
}

}  // namespace

TEST(Meshing, PartsMeshedInParallelGetTheSerialTriangles)
{
    const std::vector<TopoDS_Shape> serial = some_parts(), parallel = some_parts();
    occt::mesh_parts(serial, 1);
    std::vector<double> fractions;
    // Listed twice: meshed once, never by two threads at a time.
    std::vector<TopoDS_Shape> twice = parallel;
    twice.insert(twice.end(), parallel.begin(), parallel.end());
    occt::mesh_parts(twice, 2, [&](double f) { fractions.push_back(f); });
    ASSERT_EQ(fractions.size(), parallel.size());
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    EXPECT_EQ(fractions.back(), 1.0);
    std::size_t triangles = 0;
    for (std::size_t i = 0; i < serial.size(); ++i) {
        const auto a = meshes_of(serial[i]), b = meshes_of(parallel[i]);
        ASSERT_FALSE(a.empty());
        EXPECT_TRUE(a == b) << "part " << i;
        for (const auto& f : a) triangles += f.triangles.size();
    }
    EXPECT_GT(triangles, 10000u);
}

// The export asks the host for each vertex's position once; the geometry is
// what asking for every corner gave.
TEST(VertexIndex, TheExportsWalkGivesTheMapsGeometry)
{
    velmora::testing::Served served(SAMPLE_MODEL);
    std::size_t bodies = 0;
    for (const auto& [id, node] : served.tree.nodes) {
        if (node.type != CAD_RPC::NodeType::Solid) continue;
        const cad::BodyPtr body = served.registry.object_at(id)->as_body();
        const exporter::BodyGeometry expected = walked_by_map(body), got = exporter::tessellateBody(body);
        EXPECT_EQ(got.faces, expected.faces) << node.name;
        EXPECT_EQ(got.vertices, expected.vertices) << node.name;
        ++bodies;
    }
    EXPECT_EQ(bodies, 11u);
}
