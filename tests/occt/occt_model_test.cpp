// Reading real model files: units, assembly structure, shared parts, errors.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <BRepGProp.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepTools.hxx>
#include <GProp_GProps.hxx>
#include <IGESControl_Controller.hxx>
#include <IGESControl_Writer.hxx>
#include <Interface_Static.hxx>
#include <STEPCAFControl_Writer.hxx>
#include <STEPControl_Writer.hxx>
#include <TDataStd_Name.hxx>
#include <TDocStd_Document.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>

#include "hosts/occt/occt_model.h"

using namespace velmora::occt;
namespace fs = std::filesystem;

namespace {

std::string temp_path(const std::string& name)
{
    auto dir = fs::path(::testing::TempDir()) / ("occt-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return (dir / name).string();
}

double volume(const TopoDS_Shape& s)
{
    GProp_GProps props;
    BRepGProp::VolumeProperties(s, props);
    return props.Mass();
}

// A box of 1 x 2 x 3 m written in millimetres.
std::string write_box_step()
{
    const std::string path = temp_path("box.step");
    Interface_Static::SetCVal("write.step.unit", "MM");
    STEPControl_Writer writer;
    writer.Transfer(BRepPrimAPI_MakeBox(1000.0, 2000.0, 3000.0).Shape(), STEPControl_AsIs);
    writer.Write(path.c_str());
    return path;
}

}  // namespace

TEST(OcctModel, StepInMillimetresReadsInMetres)
{
    const OcctModel model = read_model(write_box_step());
    EXPECT_FALSE(model.is_assembly);
    ASSERT_EQ(model.parts.size(), 1u);
    ASSERT_EQ(model.root.part, 0);
    ASSERT_EQ(model.parts[0].solids.size(), 1u);
    EXPECT_NEAR(volume(model.parts[0].solids[0]), 6.0, 1e-9);
}

TEST(OcctModel, AssemblyWithOnePartPlacedTwice)
{
    Handle(TDocStd_Document) doc;
    XCAFApp_Application::GetApplication()->NewDocument("MDTV-XCAF", doc);
    Handle(XCAFDoc_ShapeTool) tool = XCAFDoc_DocumentTool::ShapeTool(doc->Main());
    const TDF_Label part = tool->AddShape(BRepPrimAPI_MakeBox(10.0, 10.0, 10.0).Shape(), false);
    TDataStd_Name::Set(part, "Cube");
    const TDF_Label assembly = tool->NewShape();
    TDataStd_Name::Set(assembly, "Machine");
    gp_Trsf moved;
    moved.SetTranslation(gp_Vec(100.0, 0, 0));
    tool->AddComponent(assembly, part, TopLoc_Location(gp_Trsf()));
    tool->AddComponent(assembly, part, TopLoc_Location(moved));
    tool->UpdateAssemblies();
    const std::string path = temp_path("machine.stp");
    Interface_Static::SetCVal("write.step.unit", "MM");
    STEPCAFControl_Writer writer;
    writer.SetNameMode(true);
    ASSERT_TRUE(writer.Transfer(doc, STEPControl_AsIs));
    ASSERT_EQ(writer.Write(path.c_str()), IFSelect_RetDone);
    XCAFApp_Application::GetApplication()->Close(doc);

    const OcctModel first = read_model(path);
    EXPECT_TRUE(first.is_assembly);
    EXPECT_EQ(first.root.name, "Machine");
    ASSERT_EQ(first.root.children.size(), 2u);
    ASSERT_EQ(first.parts.size(), 1u);  // one shared part
    const auto& a = first.root.children[0];
    const auto& b = first.root.children[1];
    EXPECT_EQ(a.part, 0);
    EXPECT_EQ(b.part, 0);
    EXPECT_NEAR(volume(first.parts[0].solids[0]), 1e-6, 1e-12);  // 10 mm cube
    EXPECT_NEAR(b.placement.TranslationPart().X(), 0.1, 1e-12);
    EXPECT_NEAR(a.placement.TranslationPart().X(), 0.0, 1e-12);
    EXPECT_NE(a.path, b.path);
    EXPECT_NE(a.name, b.name);

    const OcctModel again = read_model(path);
    EXPECT_EQ(again.root.children[0].path, a.path);
    EXPECT_EQ(again.root.children[1].path, b.path);
}

TEST(OcctModel, BrepWithOrWithoutTheDrawHeaderIsMillimetres)
{
    const TopoDS_Shape box = BRepPrimAPI_MakeBox(10.0, 20.0, 30.0).Shape();
    const std::string plain = temp_path("plain.brep"), drawn = temp_path("drawn.brep");
    BRepTools::Write(box, plain.c_str());
    {
        std::ifstream in(plain);
        std::ofstream out(drawn);
        out << "DBRep_DrawableShape\n\n" << in.rdbuf();
    }
    for (const auto& p : {plain, drawn}) {
        const OcctModel model = read_model(p);
        ASSERT_EQ(model.parts.size(), 1u) << p;
        ASSERT_EQ(model.parts[0].solids.size(), 1u) << p;
        EXPECT_NEAR(volume(model.parts[0].solids[0]), 6e-6, 1e-12) << p;
    }
}

TEST(OcctModel, IgesSolidsReadInMetres)
{
    const std::string path = temp_path("box.igs");
    IGESControl_Controller::Init();
    // BRep mode keeps the solid a solid.
    IGESControl_Writer writer("MM", 1);
    writer.AddShape(BRepPrimAPI_MakeBox(10.0, 20.0, 30.0).Shape());
    writer.ComputeModel();
    ASSERT_TRUE(writer.Write(path.c_str()));
    const OcctModel model = read_model(path);
    EXPECT_FALSE(model.is_assembly);
    ASSERT_EQ(model.parts.size(), 1u);
    ASSERT_EQ(model.parts[0].solids.size(), 1u);
    EXPECT_NEAR(volume(model.parts[0].solids[0]), 6e-6, 1e-10);
}

TEST(OcctModel, BadFilesFailNamingTheFile)
{
    const std::string empty = temp_path("empty.step"), text = temp_path("text.step"), odd = temp_path("model.xyz");
    std::ofstream(empty).close();
    std::ofstream(text) << "this is not a model\n";
    std::ofstream(odd) << "x";
    const int documents = XCAFApp_Application::GetApplication()->NbDocuments();
    for (const auto& p : {temp_path("missing.step"), empty, text, odd}) {
        try {
            read_model(p);
            ADD_FAILURE() << "read: " << p;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(p), std::string::npos) << e.what();
        }
    }
    // A failed read leaves no document with the application.
    EXPECT_EQ(XCAFApp_Application::GetApplication()->NbDocuments(), documents);
}
