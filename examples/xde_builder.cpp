#include "xde_builder.h"

#include <stdexcept>

#include <BRepTools.hxx>
#include <IGESControl_Controller.hxx>
#include <IGESControl_Writer.hxx>
#include <Interface_Static.hxx>
#include <Quantity_Color.hxx>
#include <STEPCAFControl_Controller.hxx>
#include <STEPCAFControl_Writer.hxx>
#include <STEPControl_Writer.hxx>
#include <TCollection_HAsciiString.hxx>
#include <TDataStd_Name.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_MaterialTool.hxx>

namespace velmora::examples {
namespace {

TDF_Label named(const TDF_Label& label, const std::string& name)
{
    if (!name.empty()) TDataStd_Name::Set(label, TCollection_ExtendedString(name.c_str(), true));
    return label;
}

bool ends_with(const std::string& path, const char* ending)
{
    const std::string e(ending);
    return path.size() >= e.size() && path.compare(path.size() - e.size(), e.size(), e) == 0;
}

}  // namespace

XdeBuilder::XdeBuilder()
{
    XCAFApp_Application::GetApplication()->NewDocument("MDTV-XCAF", doc_);
    shapes_ = XCAFDoc_DocumentTool::ShapeTool(doc_->Main());
    colours_ = XCAFDoc_DocumentTool::ColorTool(doc_->Main());
}

XdeBuilder::~XdeBuilder() { XCAFApp_Application::GetApplication()->Close(doc_); }

TDF_Label XdeBuilder::part(const TopoDS_Shape& shape, const std::string& name)
{
    return named(shapes_->AddShape(shape, false), name);
}

TDF_Label XdeBuilder::assembly(const std::string& name) { return named(shapes_->NewShape(), name); }

TDF_Label XdeBuilder::place(const TDF_Label& assembly, const TDF_Label& shape, const TopLoc_Location& where,
                            const std::string& instance)
{
    return named(shapes_->AddComponent(assembly, shape, where), instance);
}

TDF_Label XdeBuilder::sub(const TDF_Label& part, const TopoDS_Shape& shape, const std::string& name)
{
    const TDF_Label label = shapes_->AddSubShape(part, shape);
    if (label.IsNull()) throw std::runtime_error("not a sub-shape of its part");
    return named(label, name);
}

void XdeBuilder::colour(const TDF_Label& label, double r, double g, double b, XCAFDoc_ColorType type)
{
    colours_->SetColor(label, Quantity_Color(r, g, b, Quantity_TOC_RGB), type);
}

void XdeBuilder::hide(const TDF_Label& label) { colours_->SetVisibility(label, false); }

void XdeBuilder::material(const TDF_Label& part, const std::string& name, double density)
{
    XCAFDoc_DocumentTool::MaterialTool(doc_->Main())
        ->SetMaterial(part, new TCollection_HAsciiString(name.c_str()), new TCollection_HAsciiString(""), density,
                      new TCollection_HAsciiString("density"), new TCollection_HAsciiString("POSITIVE_RATIO_MEASURE"));
}

void XdeBuilder::write(const std::string& path)
{
    shapes_->UpdateAssemblies();
    // The parameters exist only once the controller is initialised.
    STEPCAFControl_Controller::Init();
    Interface_Static::SetCVal("write.step.unit", "MM");
    Interface_Static::SetIVal("write.stepcaf.subshapes.name", 1);
    STEPCAFControl_Writer writer;
    writer.SetNameMode(true);
    writer.SetColorMode(true);
    if (!writer.Transfer(doc_, STEPControl_AsIs) || writer.Write(path.c_str()) != IFSelect_RetDone)
        throw std::runtime_error("Unable to write '" + path + "'");
}

void write_shape(const TopoDS_Shape& shape, const std::string& path)
{
    bool written = false;
    if (ends_with(path, ".step") || ends_with(path, ".stp")) {
        STEPControl_Controller::Init();
        Interface_Static::SetCVal("write.step.unit", "MM");
        STEPControl_Writer writer;
        written = writer.Transfer(shape, STEPControl_AsIs) == IFSelect_RetDone &&
                  writer.Write(path.c_str()) == IFSelect_RetDone;
    } else if (ends_with(path, ".igs") || ends_with(path, ".iges")) {
        IGESControl_Controller::Init();
        IGESControl_Writer writer("MM", 1);  // BRep mode keeps a solid a solid
        written = writer.AddShape(shape);
        writer.ComputeModel();
        written = written && writer.Write(path.c_str());
    } else {
        written = BRepTools::Write(shape, path.c_str());
    }
    if (!written) throw std::runtime_error("Unable to write '" + path + "'");
}

TopLoc_Location at(double x, double y, double z, double turn_about_z)
{
    gp_Trsf rotation, translation;
    rotation.SetRotation(gp_Ax1(gp_Pnt(0, 0, 0), gp_Dir(0, 0, 1)), turn_about_z);
    translation.SetTranslation(gp_Vec(x, y, z));
    return TopLoc_Location(translation * rotation);
}

}  // namespace velmora::examples
