// Meshing: parts in parallel give the serial triangles, the export numbers
// vertices as a map would, and every closed solid comes out closed.
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

#include "host_interface/host.h"
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
        const exporter::BodyGeometry expected = walked_by_map(body), got = exporter::tessellate_body(body);
        EXPECT_EQ(got.faces, expected.faces) << node.name;
        EXPECT_EQ(got.vertices, expected.vertices) << node.name;
        ++bodies;
    }
    EXPECT_EQ(bodies, 11u);
}

// What meshing `path` at `quality` told the user; every solid whose B-rep
// is closed checked: a closed surface (see check_surface), and, at standard
// and finer, its volume within `slack` of the solid's.
std::vector<std::string> expect_closed(const std::string& path, occt::MeshQuality quality, double slack = 0.005)
{
    std::vector<std::string> warnings;
    occt::ModelState state;
    state.options.warn = [&](const std::string& w) { warnings.push_back(w); };
    state.model = occt::read_model(path, {{}, {}, state.options.warn});
    state.options.quality = quality;
    for (std::size_t p = 0; p < state.model.parts.size(); ++p)
        for (std::size_t s = 0; s < state.model.parts[p].solids.size(); ++s) {
            const TopoDS_Shape& solid = state.model.parts[p].solids[s];
            const occt::SolidMesh& mesh = state.solid_mesh(static_cast<int>(p), static_cast<int>(s));
            if (!occt::brep_closed(solid)) continue;
            const std::string which = path + " part " + std::to_string(p) + " solid " + std::to_string(s) + " quality " +
                                      std::to_string(int(quality));
            EXPECT_EQ(occt::check_surface(mesh).describe(), "") << which;
            if (quality == occt::MeshQuality::Coarse) continue;
            // Precise enough for a helical or B-spline solid.
            GProp_GProps exact;
            BRepGProp::VolumeProperties(solid, exact, 1e-5);
            EXPECT_NEAR(occt::enclosed_volume(mesh) / exact.Mass(), 1.0, slack) << which;
        }
    return warnings;
}

// Each class of crack, in a model of its own, at every quality: every
// closed solid comes out closed, with its volume, and without a word.
TEST(Meshing, ClosedSolidsComeOutClosed)
{
    const std::string dir = velmora::testing::temp_path("edge-cases");
    examples::write_edge_case_models(dir);
    for (const char* model : {"located.brep", "located.step", "located.igs", "poles.brep", "blade.brep", "touching.brep",
                              "cusp.brep"})
        for (int q = 0; q < 4; ++q)
            // The blade's trimming curve leaves its surface, where BRepGProp's
            // volume moves by 7 % with the precision asked of it.
            EXPECT_EQ(expect_closed(dir + "/" + model, static_cast<occt::MeshQuality>(q),
                                    std::string(model) == "blade.brep" ? 0.1 : 0.005),
                      std::vector<std::string>{})
                << model;
    // Every distinct part of the large model, side by side.
    TopoDS_Compound parts;
    BRep_Builder builder;
    builder.MakeCompound(parts);
    for (int i = 0; i < 150; ++i) builder.Add(parts, examples::large_model_part(i));
    const std::string large = dir + "/large.brep";
    ASSERT_TRUE(BRepTools::Write(parts, large.c_str()));
    EXPECT_EQ(expect_closed(large, occt::MeshQuality::Standard), std::vector<std::string>{});
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

// Real files from about twenty CAD systems (see the corpus's README): every
// solid with a closed B-rep closed at every quality, with its volume.
class RealSolids : public ::testing::TestWithParam<int> {};

TEST_P(RealSolids, ComeOutClosed)
{
    const std::filesystem::path corpus = REAL_MODELS;
    if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no real models at " << corpus;
    // A file whose own precision bounds no volume closer: its edges stray
    // from their faces by up to 87 um (the mesh and BRepGProp, each right
    // within that, differ by 0.78 % at every quality).
    const std::map<std::string, double> imprecise = {{"axom_boxed_sphere_rhino8.step", 0.01}};
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        const std::string name = entry.path().filename().string(), ext = entry.path().extension().string();
        if (ext == ".md" || ext == ".tsv") continue;
        const auto slack = imprecise.find(name);
        for (const std::string& warning : expect_closed(entry.path().string(), static_cast<occt::MeshQuality>(GetParam()),
                                                        slack == imprecise.end() ? 0.005 : slack->second))
            EXPECT_EQ(warning.find("could not be closed"), std::string::npos) << warning;
    }
}

INSTANTIATE_TEST_SUITE_P(EachQuality, RealSolids, ::testing::Range(0, 4));
