// Meshing parts in parallel and numbering their vertices: the same
// triangles and the same numbers as the plain, serial way.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <random>

#include <BRepAlgoAPI_Cut.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <IGESControl_Controller.hxx>
#include <IGESControl_Writer.hxx>
#include <STEPControl_Writer.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Shell.hxx>
#include <TopoDS_Solid.hxx>
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

// Every directed edge once and its reverse once: closed and consistently oriented.
bool watertight(const std::vector<zel::Triangle>& triangles)
{
    std::map<std::pair<std::uint64_t, std::uint64_t>, int> edges;
    for (const auto& t : triangles)
        for (int k = 0; k < 3; ++k) ++edges[{t[k], t[(k + 1) % 3]}];
    for (const auto& [e, n] : edges)
        if (n != 1 || edges.count({e.second, e.first}) != 1) return false;
    return !triangles.empty();
}

TopoDS_Shape block_with_a_hole()
{
    return BRepAlgoAPI_Cut(BRepPrimAPI_MakeBox(40.0, 30.0, 20.0).Shape(),
                           BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(20, 15, -1), gp::DZ()), 7.0, 22.0).Shape())
        .Shape();
}

// The block with each face placed by a location of its own, its surface and
// wires placed back inside it: two turns that undo each other, composed in
// another order on each face. The shape is the same and valid, its edges
// shared, but each face's nodes on an edge pass through a matrix rounded
// its own way, as in models from some CAD systems.
TopoDS_Shape block_with_located_faces()
{
    BRep_Builder builder;
    TopoDS_Shell shell;
    builder.MakeShell(shell);
    double angle = 0.3;
    for (TopExp_Explorer e(block_with_a_hole(), TopAbs_FACE); e.More(); e.Next(), angle += 0.7) {
        const TopoDS_Face& face = TopoDS::Face(e.Current());
        const gp_Ax1 axis(gp_Pnt(1, 2, 3), gp_Dir(1, 2, 3 + angle));
        gp_Trsf there, back;
        there.SetRotation(axis, angle);
        back.SetRotation(axis, -angle);
        const TopLoc_Location place = TopLoc_Location(there) * TopLoc_Location(back);
        TopoDS_Face inner;
        builder.MakeFace(inner, BRep_Tool::Surface(face), place.Inverted(), BRep_Tool::Tolerance(face));
        for (TopExp_Explorer w(face.Oriented(TopAbs_FORWARD), TopAbs_WIRE); w.More(); w.Next())
            builder.Add(inner, w.Current().Moved(place.Inverted()));
        builder.Add(shell, inner.Moved(place).Oriented(face.Orientation()));
    }
    TopoDS_Solid solid;
    builder.MakeSolid(solid);
    builder.Add(solid, shell);
    return solid;
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

// Shared edges come out with one position for each node on every face that
// holds them, so the export's exact merge closes every closed solid.
TEST(Meshing, ClosedSolidsComeOutWatertight)
{
    const TopoDS_Shape located = block_with_located_faces();
    // STEP and IGES keep no face's own location: the solid is placed turned.
    gp_Trsf turn;
    turn.SetRotation(gp_Ax1(gp_Pnt(3, 2, 1), gp_Dir(1, 1, 2)), 0.9);
    const TopoDS_Shape turned = block_with_a_hole().Moved(TopLoc_Location(turn));
    const auto dir = std::filesystem::path(::testing::TempDir()) / ("mesh-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string brep = (dir / "located.brep").string(), step = (dir / "located.step").string(),
                      iges = (dir / "located.igs").string(), large = (dir / "large.brep").string();
    ASSERT_TRUE(BRepTools::Write(located, brep.c_str()));
    Interface_Static::SetCVal("write.step.unit", "MM");
    STEPControl_Writer step_writer;
    step_writer.Transfer(turned, STEPControl_AsIs);
    ASSERT_EQ(step_writer.Write(step.c_str()), IFSelect_RetDone);
    IGESControl_Controller::Init();
    IGESControl_Writer iges_writer("MM", 1);
    iges_writer.AddShape(turned);
    iges_writer.ComputeModel();
    ASSERT_TRUE(iges_writer.Write(iges.c_str()));
    // Every distinct part of the large model, side by side.
    TopoDS_Compound parts;
    BRep_Builder builder;
    builder.MakeCompound(parts);
    for (int i = 0; i < 150; ++i) builder.Add(parts, examples::large_model_part(i));
    ASSERT_TRUE(BRepTools::Write(parts, large.c_str()));

    for (const auto& [path, solids] : {std::pair{brep, 1u}, {step, 1u}, {iges, 1u}, {large, 150u}}) {
        velmora::testing::Served served(path);
        unsigned checked = 0;
        for (const auto& [id, node] : served.tree.nodes) {
            if (node.type != CAD_RPC::NodeType::Solid) continue;
            const auto geometry = exporter::tessellateBody(served.registry.object_at(id)->as_body());
            EXPECT_TRUE(watertight(geometry.faces)) << path << " " << node.name;
            ++checked;
        }
        EXPECT_EQ(checked, solids) << path;
    }
}
