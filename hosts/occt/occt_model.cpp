#include "occt_model.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <BRepBuilderAPI_Transform.hxx>
#include <BRep_Builder.hxx>
#include <BRepTools.hxx>
#include <IGESCAFControl_Reader.hxx>
#include <IGESControl_Controller.hxx>
#include <Interface_Static.hxx>
#include <STEPCAFControl_Controller.hxx>
#include <Quantity_Color.hxx>
#include <STEPCAFControl_Reader.hxx>
#include <TCollection_AsciiString.hxx>
#include <TCollection_ExtendedString.hxx>
#include <TDF_ChildIterator.hxx>
#include <TDF_Label.hxx>
#include <TDF_LabelSequence.hxx>
#include <TDF_Tool.hxx>
#include <TDataStd_Name.hxx>
#include <TDocStd_Document.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_ColorTool.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>

namespace velmora::occt {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const std::string& path, const std::string& why)
{
    throw std::runtime_error("Unable to read the model '" + path + "': " + why);
}

std::string lower_extension(const std::string& path)
{
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

std::string label_name(const TDF_Label& label)
{
    Handle(TDataStd_Name) name;
    if (!label.FindAttribute(TDataStd_Name::GetID(), name)) return {};
    const TCollection_ExtendedString& text = name->Get();
    std::string out(static_cast<std::size_t>(text.LengthOfCString()), '\0');
    Standard_PCharacter buffer = out.data();
    text.ToUTF8CString(buffer);
    out.resize(std::strlen(out.c_str()));
    return out;
}

std::string entry_of(const TDF_Label& label)
{
    TCollection_AsciiString entry;
    TDF_Tool::Entry(label, entry);
    return entry.ToCString();
}

std::vector<TopoDS_Shape> solids_of(const TopoDS_Shape& shape)
{
    std::vector<TopoDS_Shape> out;
    for (TopExp_Explorer e(shape, TopAbs_SOLID); e.More(); e.Next()) out.push_back(e.Current());
    return out;
}

class XcafWalker {
public:
    XcafWalker(Handle(XCAFDoc_ShapeTool) shapes, Handle(XCAFDoc_ColorTool) colours, OcctModel& model)
        : shapes_(std::move(shapes)), colours_(std::move(colours)), model_(model)
    {
    }

    int part_of(const TDF_Label& label)
    {
        const std::string entry = entry_of(label);
        for (std::size_t i = 0; i < part_entries_.size(); ++i)
            if (part_entries_[i] == entry) return static_cast<int>(i);
        OcctPart part;
        part.name = label_name(label);
        part.shape = XCAFDoc_ShapeTool::GetShape(label);
        part.shape.Location(TopLoc_Location());  // the part in its own coordinates
        part.solids = solids_of(part.shape);
        for (const auto& solid : part.solids) {
            TDF_Label sub;
            part.solid_names.push_back(shapes_->FindSubShape(label, solid, sub) ? label_name(sub) : std::string{});
        }
        Quantity_Color c;
        if (colours_->GetColor(label, XCAFDoc_ColorSurf, c) || colours_->GetColor(label, XCAFDoc_ColorGen, c))
            part.colour = std::array<double, 3>{c.Red(), c.Green(), c.Blue()};
        model_.parts.push_back(std::move(part));
        part_entries_.push_back(entry);
        return static_cast<int>(model_.parts.size()) - 1;
    }

    // Children of an assembly label (its component references).
    void add_children(OcctOccurrence& parent, const TDF_Label& assembly)
    {
        TDF_LabelSequence components;
        XCAFDoc_ShapeTool::GetComponents(assembly, components, false);
        std::vector<int> counts;
        for (int i = 1; i <= components.Length(); ++i) {
            const TDF_Label& component = components.Value(i);
            TDF_Label referred;
            if (!XCAFDoc_ShapeTool::GetReferredShape(component, referred)) continue;
            OcctOccurrence child;
            const std::string product = label_name(referred);
            const std::string instance = label_name(component);
            child.name = !instance.empty() && instance != product ? instance : product + "-" + std::to_string(i);
            child.placement = parent.placement * XCAFDoc_ShapeTool::GetLocation(component).Transformation();
            child.path = parent.path + "/" + entry_of(component);
            if (XCAFDoc_ShapeTool::IsAssembly(referred))
                add_children(child, referred);
            else
                child.part = part_of(referred);
            parent.children.push_back(std::move(child));
        }
    }

private:
    Handle(XCAFDoc_ShapeTool) shapes_;
    Handle(XCAFDoc_ColorTool) colours_;
    OcctModel& model_;
    std::vector<std::string> part_entries_;
};

OcctModel from_document(const Handle(TDocStd_Document) & doc, const std::string& path)
{
    Handle(XCAFDoc_ShapeTool) shapes = XCAFDoc_DocumentTool::ShapeTool(doc->Main());
    Handle(XCAFDoc_ColorTool) colours = XCAFDoc_DocumentTool::ColorTool(doc->Main());
    TDF_LabelSequence free;
    shapes->GetFreeShapes(free);
    if (free.IsEmpty()) fail(path, "the file holds no shape");

    OcctModel model;
    XcafWalker walker(shapes, colours, model);
    const std::string file_name = fs::path(path).stem().string();
    if (free.Length() == 1 && !XCAFDoc_ShapeTool::IsAssembly(free.Value(1))) {
        model.root.name = file_name;
        model.root.path = entry_of(free.Value(1));
        model.root.part = walker.part_of(free.Value(1));
        return model;
    }
    model.is_assembly = true;
    if (free.Length() == 1) {
        model.root.name = label_name(free.Value(1));
        model.root.path = entry_of(free.Value(1));
        walker.add_children(model.root, free.Value(1));
        return model;
    }
    // Several top-level shapes hang under one root named after the file.
    model.root.name = file_name;
    model.root.path = "file";
    for (int i = 1; i <= free.Length(); ++i) {
        const TDF_Label& label = free.Value(i);
        OcctOccurrence child;
        child.name = label_name(label);
        child.path = model.root.path + "/" + entry_of(label);
        if (XCAFDoc_ShapeTool::IsAssembly(label))
            walker.add_children(child, label);
        else
            child.part = walker.part_of(label);
        model.root.children.push_back(std::move(child));
    }
    return model;
}

OcctModel read_brep(const std::string& path)
{
    std::ifstream in(path);
    std::string first;
    std::getline(in, first);
    // Draw's "DBRep_DrawableShape" line comes before the shape itself.
    if (first.rfind("DBRep_DrawableShape", 0) != 0) in.seekg(0);
    TopoDS_Shape shape;
    BRep_Builder builder;
    BRepTools::Read(shape, in, builder);
    if (shape.IsNull()) fail(path, "no BREP shape could be read");
    // A BREP file carries no unit: millimetres.
    gp_Trsf to_metres;
    to_metres.SetScaleFactor(0.001);
    shape = BRepBuilderAPI_Transform(shape, to_metres, true).Shape();
    OcctModel model;
    OcctPart part;
    part.name = fs::path(path).stem().string();
    part.shape = shape;
    part.solids = solids_of(shape);
    part.solid_names.assign(part.solids.size(), std::string{});
    model.parts.push_back(std::move(part));
    model.root.name = model.parts[0].name;
    model.root.path = "brep";
    model.root.part = 0;
    return model;
}

}  // namespace

OcctModel read_model(const std::string& path)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) fail(path, "no such file");
    if (fs::file_size(path, ec) == 0) fail(path, "the file is empty");
    const std::string ext = lower_extension(path);
    if (ext == ".brep") return read_brep(path);

    Handle(TDocStd_Document) doc;
    XCAFApp_Application::GetApplication()->NewDocument("MDTV-XCAF", doc);
    // Lengths in metres whatever unit the file was written in; the setting
    // is process-wide, so put the caller's back afterwards.
    STEPCAFControl_Controller::Init();
    IGESControl_Controller::Init();
    const char* unit = Interface_Static::CVal("xstep.cascade.unit");
    const std::string previous_unit = unit ? unit : "MM";
    Interface_Static::SetCVal("xstep.cascade.unit", "M");
    struct RestoreUnit {
        std::string unit;
        ~RestoreUnit() { Interface_Static::SetCVal("xstep.cascade.unit", unit.c_str()); }
    } restore{previous_unit};
    if (ext == ".step" || ext == ".stp") {
        STEPCAFControl_Reader reader;
        reader.SetNameMode(true);
        reader.SetColorMode(true);
        if (reader.ReadFile(path.c_str()) != IFSelect_RetDone) fail(path, "not a readable STEP file");
        if (!reader.Transfer(doc)) fail(path, "the STEP data could not be transferred");
    } else if (ext == ".igs" || ext == ".iges") {
        IGESCAFControl_Reader reader;
        reader.SetNameMode(true);
        reader.SetColorMode(true);
        if (reader.ReadFile(path.c_str()) != IFSelect_RetDone) fail(path, "not a readable IGES file");
        if (!reader.Transfer(doc)) fail(path, "the IGES data could not be transferred");
    } else {
        fail(path, "unknown file type (use .step, .stp, .igs, .iges or .brep)");
    }
    OcctModel model = from_document(doc, path);
    XCAFApp_Application::GetApplication()->Close(doc);
    return model;
}

}  // namespace velmora::occt
