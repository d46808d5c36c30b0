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

// The numbering the export has always used: an ordered map of positions.
std::pair<std::vector<zel::Point3>, std::vector<std::uint64_t>> numbered_by_map(const std::vector<zel::Point3>& stream)
{
    std::map<zel::Point3, std::uint64_t> index;
    std::vector<zel::Point3> vertices;
    std::vector<std::uint64_t> numbers;
    for (const auto& p : stream) {
        auto [it, inserted] = index.try_emplace(p, vertices.size() + 1);
        if (inserted) vertices.push_back(p);
        numbers.push_back(it->second);
    }
    return {vertices, numbers};
}

std::pair<std::vector<zel::Point3>, std::vector<std::uint64_t>> numbered_by_index(const std::vector<zel::Point3>& stream)
{
    std::vector<zel::Point3> vertices;
    std::vector<std::uint64_t> numbers;
    exporter::VertexIndex index(vertices);
    for (const auto& p : stream) numbers.push_back(index.number(p));
    return {vertices, numbers};
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

TEST(Meshing, HostMeshesOnOpenInParallelAsSerially)
{
    auto export_with = [](unsigned threads) {
        occt::OcctHostOptions options;
        options.mesh_on_open = true;
        options.mesh_threads = threads;
        velmora::testing::Served served(SAMPLE_MODEL, options);
        return served.export_text(true, false, false);
    };
    const std::string serial = export_with(1);
    EXPECT_GT(serial.size(), 20000u);
    EXPECT_EQ(export_with(2), serial);
}

// On real meshes (every corner of every triangle, in face order, as the
// export meets them) and on the cases an ordered map decides by itself.
TEST(VertexIndex, NumbersVerticesAsTheOrderedMapDoes)
{
    std::vector<std::vector<zel::Point3>> streams;
    for (const TopoDS_Shape& part : some_parts()) {
        occt::mesh_part(part);
        auto& stream = streams.emplace_back();
        for (const FaceMesh& f : meshes_of(part))
            for (const auto& t : f.triangles)
                for (int k : t) stream.push_back(f.nodes[static_cast<std::size_t>(k - 1)]);
    }
    std::mt19937 rng(3);
    std::vector<zel::Point3> edge_cases;
    const double tiny = std::nextafter(0.0, 1.0), near_one = std::nextafter(1.0, 2.0);
    const zel::Point3 cases[] = {{0.0, 0.0, 0.0}, {-0.0, 0.0, -0.0}, {0.0, -0.0, 0.0}, {tiny, 0, 0}, {-tiny, 0, 0},
                                 {1, 1, 1},       {near_one, 1, 1},  {1, near_one, 1}, {1, 1, -1},  {1e300, -1e-300, 5}};
    for (int i = 0; i < 20000; ++i)
        edge_cases.push_back(cases[std::uniform_int_distribution<std::size_t>(0, std::size(cases) - 1)(rng)]);
    // Enough distinct positions to grow the table several times.
    for (int i = 0; i < 5000; ++i) edge_cases.push_back({i * 0.5, -0.0, i % 7 == 0 ? 0.0 : -1.0 * i});
    streams.push_back(edge_cases);

    std::size_t merged = 0;
    for (const auto& stream : streams) {
        const auto expected = numbered_by_map(stream);
        const auto got = numbered_by_index(stream);
        ASSERT_EQ(got.second, expected.second);
        ASSERT_EQ(got.first.size(), expected.first.size());
        for (std::size_t i = 0; i < got.first.size(); ++i)
            for (int k = 0; k < 3; ++k)  // the first use's bits are kept, -0.0 included
                ASSERT_EQ(std::signbit(got.first[i][k]), std::signbit(expected.first[i][k]));
        merged += stream.size() - got.first.size();
    }
    EXPECT_GT(merged, 10000u);  // the meshes do share corners
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
