// Meshing parts in parallel and numbering their vertices: the same
// triangles and the same numbers as the plain, serial way.
#include <gtest/gtest.h>


#include <cmath>
#include <filesystem>
#include <map>
#include <random>

#include <BRepGProp.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <GProp_GProps.hxx>
#include <Poly_Triangulation.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>

#include "addin/cad/host/host.h"
#include "addin/export/geometry.h"
#include "examples/edge_case_models.h"
#include "examples/large_model.h"
#include "hosts/occt/occt_mesh.h"
#include "hosts/occt/occt_state.h"
#include "served_model.h"
#include "tests/e2e/zel_geometry.h"

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

double mesh_volume(const occt::SolidMesh& mesh)
{
    double six_v = 0;
    for (const auto& t : mesh.triangles) {
        const auto &p = mesh.points[t[0]], &q = mesh.points[t[1]], &r = mesh.points[t[2]];
        six_v += p[0] * (q[1] * r[2] - q[2] * r[1]) - p[1] * (q[0] * r[2] - q[2] * r[0]) + p[2] * (q[0] * r[1] - q[1] * r[0]);
    }
    return six_v / 6.0;
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
    occt::mesh_parts(twice, 2, occt::deflection_of(occt::MeshQuality::Standard), [&](double f) { fractions.push_back(f); });
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

// Each class of crack, in a model of its own, at two qualities: every
// closed solid comes out of the export watertight.
TEST(Meshing, ClosedSolidsComeOutWatertight)
{
    const std::string dir = velmora::testing::temp_path("edge-cases");
    examples::write_edge_case_models(dir);
    const std::string located = dir + "/located.brep", step = dir + "/located.step", iges = dir + "/located.igs",
                      poles = dir + "/poles.brep", blade = dir + "/blade.brep", large = dir + "/large.brep";
    // Every distinct part of the large model, side by side.
    TopoDS_Compound parts;
    BRep_Builder builder;
    builder.MakeCompound(parts);
    for (int i = 0; i < 150; ++i) builder.Add(parts, examples::large_model_part(i));
    ASSERT_TRUE(BRepTools::Write(parts, large.c_str()));

    const std::pair<std::string, unsigned> models[] = {{located, 1}, {step, 1}, {iges, 1}, {poles, 1}, {blade, 1}, {large, 150}};
    for (const auto quality : {occt::MeshQuality::Coarse, occt::MeshQuality::Standard})
        for (const auto& [path, solids] : models) {
            if (path == large && quality == occt::MeshQuality::Coarse) continue;
            occt::OcctHostOptions options;
            options.quality = quality;
            velmora::testing::Served served(path, options);
            unsigned checked = 0;
            for (const auto& [id, node] : served.tree.nodes) {
                if (node.type != CAD_RPC::NodeType::Solid) continue;
                const auto geometry = exporter::tessellateBody(served.registry.object_at(id)->as_body());
                EXPECT_TRUE(velmora::testing::watertight(geometry.faces)) << path << " " << node.name << " quality " << int(quality);
                ++checked;
            }
            EXPECT_EQ(checked, solids) << path;
        }
    // The blade really is a case: BRepMesh's first algorithm alone leaves it open.
    const TopoDS_Shape blade_solid = examples::blade_trimmed_outside_its_surface();
    occt::brep_mesh(blade_solid, occt::deflection_of(occt::MeshQuality::Coarse));
    EXPECT_GT(occt::open_edges(occt::joined_mesh(blade_solid)), 0u);
}

// An open solid stays open, and the user hears of it once, by name.
TEST(Meshing, AnOpenSolidIsNamedInOneWarning)
{
    const std::string dir = velmora::testing::temp_path("edge-cases");
    examples::write_edge_case_models(dir);
    const std::string path = dir + "/lidless.brep";
    std::vector<std::string> warnings;
    occt::OcctHostOptions options;
    options.mesh_on_open = true;
    options.warn = [&](const std::string& w) { warnings.push_back(w); };
    velmora::testing::Served served(path, options);
    served.export_text(true, false, false);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("solid 'Body1' of part 'lidless' is not closed in the file"), std::string::npos)
        << warnings[0];
}

// Real files from other CAD systems whose solids BRepMesh's first algorithm
// left open (these two at coarse and standard): closed, their volume within
// 0.5 % at standard.
TEST(Meshing, RealSolidsComeOutClosed)
{
    const std::filesystem::path corpus = REAL_MODELS;
    if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no real models at " << corpus;
    for (const char* name : {"11752.stp", "Ventilator.stp"})
        for (int q = 0; q < 2; ++q) {
            occt::ModelState state;
            state.model = occt::read_model((corpus / name).string());
            state.options.quality = static_cast<occt::MeshQuality>(q);
            for (std::size_t p = 0; p < state.model.parts.size(); ++p)
                for (std::size_t s = 0; s < state.model.parts[p].solids.size(); ++s) {
                    const occt::SolidMesh& mesh = state.solid_mesh(static_cast<int>(p), static_cast<int>(s));
                    EXPECT_EQ(occt::open_edges(mesh), 0u) << name << " quality " << q;
                    if (q != 1) continue;
                    GProp_GProps exact;
                    BRepGProp::VolumeProperties(state.model.parts[p].solids[s], exact);
                    EXPECT_NEAR(mesh_volume(mesh) / exact.Mass(), 1.0, 0.005) << name;
                }
        }
}
