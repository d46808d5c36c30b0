// Reference points and curves, colours and the command group of the
// OpenCASCADE host, read back from real files.
#include <gtest/gtest.h>


#include <cmath>

#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeVertex.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRep_Builder.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS_Compound.hxx>

#include "addin/cad/cad_tree_builder.h"
#include "host_interface/host.h"
#include "addin/export/export_driver.h"
#include "addin/export/geometry.h"
#include "addin/export/zel_writer.h"
#include "addin/shell/velmora_addin.h"
#include "examples/edge_case_models.h"
#include "examples/sample_model.h"
#include "examples/xde_builder.h"
#include "hosts/occt/occt_host.h"
#include "served_model.h"

using namespace velmora;
using velmora::testing::Served;
using velmora::testing::temp_path;

namespace {

double distance(const std::vector<double>& a, const gp_Pnt& b)
{
    return std::sqrt(std::pow(a.at(0) - b.X(), 2) + std::pow(a.at(1) - b.Y(), 2) + std::pow(a.at(2) - b.Z(), 2));
}

}  // namespace

TEST(OcctFeatures, FreeVerticesEdgesAndWiresArePointAndCurveFeatures)
{
    const std::string dir = temp_path("edge-cases");
    examples::write_edge_case_models(dir);
    // A cube, a free vertex, a wire of a line and an arc drawn backwards, a lone edge.
    Served s(dir + "/reference.brep");
    const auto& root = s.tree.nodes.at(s.tree.root_id);
    std::vector<std::string> names;
    for (int32_t id : root.children_ids) names.push_back(s.tree.nodes.at(id).name);
    EXPECT_EQ(names, (std::vector<std::string>{"Body1", "Point1", "Curve1", "Curve2"}));

    EXPECT_EQ(s.feature("Point1")->get_type_name(), u"RefPoint");
    EXPECT_EQ(s.feature("Curve1")->get_type_name(), u"CompositeCurve");
    EXPECT_EQ(s.feature("Curve2")->get_type_name(), u"RefCurve");
    EXPECT_EQ(s.tree.nodes.at(s.id_of("Point1")).type, CAD_RPC::NodeType::Point);
    EXPECT_EQ(s.tree.nodes.at(s.id_of("Curve1")).type, CAD_RPC::NodeType::Curve);

    // Positions in metres.
    const auto point = s.feature("Point1")->get_point_definition()->get_point();
    EXPECT_LT(distance(point, gp_Pnt(0.001, 0.002, 0.003)), 1e-12);
    EXPECT_EQ(s.feature("Point1")->get_curve_definition(), nullptr);

    // Segments in wire order, each from where the previous one ended.
    const auto segments = s.feature("Curve1")->get_curve_definition()->get_segments();
    ASSERT_EQ(segments.size(), 2u);
    const gp_Pnt p0(0, 0, 0.05), p1(0.1, 0, 0.05), p2(0.15, 0, 0.1);
    const auto first = segments[0]->get_curve_params(), second = segments[1]->get_curve_params();
    ASSERT_EQ(first.size(), 11u);
    EXPECT_LT(distance({first[0], first[1], first[2]}, p0), 1e-9);
    EXPECT_LT(distance({first[3], first[4], first[5]}, p1), 1e-9);
    EXPECT_LT(distance({second[0], second[1], second[2]}, p1), 1e-9);
    EXPECT_LT(distance({second[3], second[4], second[5]}, p2), 1e-9);

    // The arc's samples run from its start to its end, on the circle, and
    // close enough together for a chord error of 1e-6 m.
    const double start[3] = {second[0], second[1], second[2]}, end[3] = {second[3], second[4], second[5]};
    const auto samples = segments[1]->get_curve()->get_samples(start, end, 1e-6, 1e-6);
    const std::size_t n = samples.size() / 3;
    ASSERT_GT(n, 20u);
    EXPECT_EQ(segments[1]->get_curve()->get_sample_count(start, end, 1e-6, 1e-6), static_cast<int>(n));
    EXPECT_LT(distance({samples[0], samples[1], samples[2]}, p1), 1e-9);
    EXPECT_LT(distance({samples[3 * n - 3], samples[3 * n - 2], samples[3 * n - 1]}, p2), 1e-9);
    // The arc through p1 (tangent +x) and p2: centre (0.1, 0, 0.1), radius 0.05.
    for (std::size_t i = 0; i < n; ++i)
        EXPECT_NEAR(std::hypot(samples[3 * i] - 0.1, samples[3 * i + 2] - 0.1), 0.05, 1e-9);

    // A file without colours gives none, and the export writes none.
    EXPECT_TRUE(s.feature("Curve2")->get_appearance(4, 1, u"Default").empty());
    const std::string text = s.export_text(true, true, true);
    EXPECT_EQ(text.find("color="), std::string::npos) << text;
    EXPECT_NE(text.find("<point method=\"pointXYZ\" center=\"0.001, 0.002, 0.003\" name=\"Point1\""), std::string::npos)
        << text;
}

TEST(OcctFeatures, FaceColoursComeBeforeTheirPartsAndHiddenCurvesStayHidden)
{
    examples::XdeBuilder b;
    const TopoDS_Shape box = BRepPrimAPI_MakeBox(10.0, 10.0, 10.0).Shape();
    const TDF_Label part = b.part(box, "Cube");
    b.colour(part, 0.8, 0.2, 0.2);
    b.colour(b.sub(part, TopExp_Explorer(box, TopAbs_FACE).Current()), 0.1, 0.3, 0.9);
    const TDF_Label line = b.part(BRepBuilderAPI_MakeEdge(gp_Pnt(0, 0, 0), gp_Pnt(0, 0, 50)).Edge(), "Axis");
    b.colour(line, 0.5, 0.5, 0.5, XCAFDoc_ColorCurv);
    b.hide(line);
    // A hidden datum of a line and a point: OpenCASCADE's writer hides the
    // curve set inside it, and the reader has to find the line in there.
    TopoDS_Compound datum_shape;
    BRep_Builder builder;
    builder.MakeCompound(datum_shape);
    builder.Add(datum_shape, BRepBuilderAPI_MakeEdge(gp_Pnt(0, 0, 0), gp_Pnt(50, 0, 0)).Edge());
    builder.Add(datum_shape, BRepBuilderAPI_MakeVertex(gp_Pnt(25, 0, 0)).Vertex());
    const TDF_Label datum = b.part(datum_shape, "Datum");
    b.colour(datum, 0.5, 0.5, 0.5, XCAFDoc_ColorCurv);
    b.hide(datum);
    const TDF_Label top = b.assembly("Top");
    for (const TDF_Label& l : {part, line, datum}) b.place(top, l);
    const std::string path = temp_path("coloured.step");
    b.write(path);

    Served s(path);
    const cad::BodyPtr body = s.registry.object_at(s.id_of("Body1"))->as_body();
    int blue = 0, red = 0;
    for (cad::FacePtr f = body->get_first_face(); f; f = f->get_next_face()) {
        const auto rgb = f->get_appearance();
        ASSERT_EQ(rgb.size(), 3u);
        if (std::abs(rgb[2] - 0.9) < 0.01) ++blue;
        if (std::abs(rgb[0] - 0.8) < 0.01) ++red;
    }
    EXPECT_EQ(blue, 1);
    EXPECT_EQ(red, 5);

    // The curve placed in the assembly is the assembly's, hidden, in its colour.
    const auto& axis = s.tree.nodes.at(s.id_of("Axis"));
    EXPECT_EQ(axis.parent_id, s.tree.root_id);
    EXPECT_FALSE(axis.is_visible);
    EXPECT_EQ(s.feature("Axis")->get_appearance(4, 1, u"Default").size(), 3u);
    EXPECT_EQ(s.tree.nodes.at(s.id_of("Cube-1")).type, CAD_RPC::NodeType::Structure);
    // Several elements of one product are numbered after it.
    EXPECT_FALSE(s.tree.nodes.at(s.id_of("Datum Curve1")).is_visible);
    EXPECT_EQ(s.tree.nodes.at(s.id_of("Datum Point1")).type, CAD_RPC::NodeType::Point);
}

TEST(OcctFeatures, TheCommittedSampleIsWhatTheGeneratorWrites)
{
    const std::string fresh = temp_path("sample.step");
    examples::write_sample_model(fresh);
    Served committed(SAMPLE_MODEL), generated(fresh);
    ASSERT_EQ(committed.tree.nodes.size(), generated.tree.nodes.size());
    for (const auto& [id, node] : committed.tree.nodes) {
        const auto& other = generated.tree.nodes.at(id);
        EXPECT_EQ(node.name, other.name);
        EXPECT_EQ(node.type, other.type);
        EXPECT_EQ(node.is_visible, other.is_visible);
        EXPECT_EQ(node.children_ids, other.children_ids);
    }
}

