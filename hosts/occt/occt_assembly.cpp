#include "occt_assembly.h"
#include "occt_materials.h"
#include "occt_names.h"


#include <algorithm>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <unordered_map>

#include <BRepBuilderAPI_Transform.hxx>
#include <BRep_Builder.hxx>
#include <Quantity_Color.hxx>
#include <TCollection_AsciiString.hxx>
#include <TCollection_ExtendedString.hxx>
#include <TDF_ChildIterator.hxx>
#include <TDF_Label.hxx>
#include <TDF_LabelSequence.hxx>
#include <TDF_Tool.hxx>
#include <TDataStd_Name.hxx>
#include <TDocStd_Document.hxx>
#include <ShapeAnalysis_FreeBounds.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_HSequenceOfShape.hxx>
#include <TopoDS.hxx>
#include <XCAFDoc_ColorTool.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>
#include <TDataStd_TreeNode.hxx>
#include <XCAFDoc.hxx>
#include <XCAFDoc_Material.hxx>

namespace velmora::occt {
namespace {

namespace fs = std::filesystem;

std::string label_name(const TDF_Label& label, NameDecoder& names)
{
    Handle(TDataStd_Name) name;
    if (!label.FindAttribute(TDataStd_Name::GetID(), name)) return {};
    return names(name->Get());
}

// The name the user gave, or none where the file has only a placeholder
// or, for an occurrence, an identifier the writer counted up.
std::string given_name(const TDF_Label& label, NameDecoder& names, bool occurrence = false)
{
    std::string name = label_name(label, names);
    return (occurrence ? is_generated_instance_name(name) : is_placeholder_name(name)) ? std::string{} : name;
}

std::string entry_of(const TDF_Label& label)
{
    TCollection_AsciiString entry;
    TDF_Tool::Entry(label, entry);
    return entry.ToCString();
}

// A shape with neither faces nor solids is only reference geometry.
bool is_reference_only(const TopoDS_Shape& shape)
{
    return !TopExp_Explorer(shape, TopAbs_FACE).More();
}

// The free vertices, wires and edges of a shape, in that order: vertices on
// no edge, wires on no face, edges on no wire.
std::vector<std::pair<OcctFeature::Kind, TopoDS_Shape>> free_elements(const TopoDS_Shape& shape)
{
    std::vector<std::pair<OcctFeature::Kind, TopoDS_Shape>> out;
    for (TopExp_Explorer e(shape, TopAbs_VERTEX, TopAbs_EDGE); e.More(); e.Next())
        out.emplace_back(OcctFeature::Point, e.Current());
    for (TopExp_Explorer e(shape, TopAbs_WIRE, TopAbs_FACE); e.More(); e.Next())
        out.emplace_back(OcctFeature::Curve, e.Current());
    // STEP carries a wire as separate curves of a curve set: edges whose ends
    // meet are one curve again, as they were drawn.
    Handle(TopTools_HSequenceOfShape) edges = new TopTools_HSequenceOfShape;
    for (TopExp_Explorer e(shape, TopAbs_EDGE, TopAbs_WIRE); e.More(); e.Next()) edges->Append(e.Current());
    if (edges->IsEmpty()) return out;
    Handle(TopTools_HSequenceOfShape) wires;
    ShapeAnalysis_FreeBounds::ConnectEdgesToWires(edges, Precision::Confusion(), false, wires);
    for (int i = 1; i <= wires->Length(); ++i) {
        const TopoDS_Shape& wire = wires->Value(i);
        int count = 0;
        TopoDS_Shape single;
        for (TopExp_Explorer e(wire, TopAbs_EDGE); e.More(); e.Next(), ++count) single = e.Current();
        out.emplace_back(OcctFeature::Curve, count == 1 ? single : wire);
    }
    return out;
}

std::optional<Rgb> colour_of(const Handle(XCAFDoc_ColorTool) & colours, const TDF_Label& label,
                             XCAFDoc_ColorType type)
{
    Quantity_Color c;
    if (colours->GetColor(label, type, c) || colours->GetColor(label, XCAFDoc_ColorGen, c))
        return Rgb{c.Red(), c.Green(), c.Blue()};
    return std::nullopt;
}

// The reference elements of `shape` (the shape of `label`). An element
// takes its name from its own sub-shape label; its colour from that label,
// else from a labelled sub-shape that holds it, else from `label`; it is
// visible when none of them is hidden. Unnamed elements are called
// `owner_name` when they are its only element, else "Point" or "Curve" with
// their number from 1 (after the owner's name, when there is one).
std::vector<OcctFeature> features_of(const Handle(XCAFDoc_ShapeTool) & shapes, const Handle(XCAFDoc_ColorTool) & colours,
                                     NameDecoder* names, const TDF_Label& label, const TopoDS_Shape& shape,
                                     const std::string& owner_name)
{
    std::vector<OcctFeature> out;
    const auto elements = free_elements(shape);
    const bool xcaf = !shapes.IsNull() && !colours.IsNull() && !label.IsNull();
    // The labelled sub-shapes of the owner, located as `shape` is.
    std::vector<std::pair<TDF_Label, TopoDS_Shape>> subs;
    if (xcaf)
        for (TDF_ChildIterator it(label); it.More(); it.Next()) {
            TopoDS_Shape sub = XCAFDoc_ShapeTool::GetShape(it.Value());
            if (!sub.IsNull()) subs.emplace_back(it.Value(), sub.Moved(shape.Location()));
        }
    int points = 0, curves = 0;
    for (const auto& [kind, element] : elements) {
        OcctFeature f;
        f.kind = kind;
        f.shape = element;
        const int number = kind == OcctFeature::Point ? ++points : ++curves;
        f.id = (kind == OcctFeature::Point ? "#p" : "#c") + std::to_string(number);
        if (xcaf) {
            f.visible = colours->IsVisible(label);
            std::optional<Rgb> own_colour, held_colour;
            for (const auto& [sub_label, sub] : subs) {
                bool holds = sub.IsSame(element);
                if (holds) {
                    f.name = given_name(sub_label, *names);
                    own_colour = colour_of(colours, sub_label, XCAFDoc_ColorCurv);
                } else {
                    for (TopExp_Explorer e(sub, element.ShapeType()); e.More() && !holds; e.Next())
                        holds = e.Current().IsSame(element);
                    if (holds && !held_colour) held_colour = colour_of(colours, sub_label, XCAFDoc_ColorCurv);
                }
                if (holds) f.visible = f.visible && colours->IsVisible(sub_label);
            }
            f.colour = own_colour ? own_colour : held_colour ? held_colour : colour_of(colours, label, XCAFDoc_ColorCurv);
        }
        const std::string kind_name = kind == OcctFeature::Point ? "Point" : "Curve";
        if (f.name.empty() && elements.size() == 1) f.name = owner_name;
        if (f.name.empty()) f.name = (owner_name.empty() ? "" : owner_name + " ") + kind_name + std::to_string(number);
        out.push_back(std::move(f));
    }
    return out;
}

class XcafWalker {
public:
    XcafWalker(Handle(XCAFDoc_ShapeTool) shapes, Handle(XCAFDoc_ColorTool) colours, NameDecoder& names,
               const Materials& materials, const SolidNames& solid_names, OcctModel& model)
        : shapes_(std::move(shapes)), colours_(std::move(colours)), names_(names), materials_(materials),
          solid_names_(solid_names), model_(model)
    {
    }

    // Parts whose material's density is in a unit not understood.
    std::vector<std::string> unreadable_densities;

    // A product's name; "Part" or "Assembly" where the file has only an identifier.
    std::string product_name(const TDF_Label& label)
    {
        std::string name = given_name(label, names_);
        if (name.empty()) name = XCAFDoc_ShapeTool::IsAssembly(label) ? "Assembly" : "Part";
        return name;
    }

    int part_of(const TDF_Label& label)
    {
        const std::string entry = entry_of(label);
        for (std::size_t i = 0; i < part_entries_.size(); ++i)
            if (part_entries_[i] == entry) return static_cast<int>(i);
        OcctPart part;
        part.name = product_name(label);
        part.shape = XCAFDoc_ShapeTool::GetShape(label);
        part.shape.Location(TopLoc_Location());  // the part in its own coordinates
        part.solids = solids_of(part.shape);
        for (const auto& solid : part.solids) {
            TDF_Label sub;
            const bool labelled = shapes_->FindSubShape(label, solid, sub);
            std::string name = labelled ? given_name(sub, names_) : std::string{};
            // The solid of a one-solid part has no label of its own: its
            // name is its entity's in the file.
            if (const auto found = solid_names_.find(solid.TShape().get()); name.empty() && found != solid_names_.end()) {
                name = names_(found->second);
                if (is_placeholder_name(name)) name.clear();
            }
            part.solid_names.push_back(name);
            part.solid_visible.push_back(!labelled || colours_->IsVisible(sub));
        }
        part.colour = colour_of(colours_, label, XCAFDoc_ColorSurf);
        for (TDF_ChildIterator it(label); it.More(); it.Next()) {
            const TopoDS_Shape sub = XCAFDoc_ShapeTool::GetShape(it.Value());
            if (sub.IsNull() || (sub.ShapeType() != TopAbs_FACE && sub.ShapeType() != TopAbs_SOLID)) continue;
            if (auto c = colour_of(colours_, it.Value(), XCAFDoc_ColorSurf)) part.sub_colours.emplace_back(sub, *c);
        }
        part.features = features_of(shapes_, colours_, &names_, label, part.shape, {});
        Handle(TDataStd_TreeNode) node;
        Handle(XCAFDoc_Material) material;
        if (label.FindAttribute(XCAFDoc::MaterialRefGUID(), node) && node->HasFather() &&
            node->Father()->Label().FindAttribute(XCAFDoc_Material::GetID(), material) && !material->GetName().IsNull())
            part.material = names_(TCollection_ExtendedString(material->GetName()->String(), true));
        // The density is the product's own: products may share a material's
        // name and not its density.
        if (const auto found = materials_.find(part.shape.TShape().get()); found != materials_.end()) {
            if (part.material.empty()) part.material = names_(TCollection_ExtendedString(found->second.name.c_str(), true));
            part.density = found->second.density;
            if (!part.density) unreadable_densities.push_back("'" + part.material + "' of '" + part.name + "'");
        }
        model_.parts.push_back(std::move(part));
        part_entries_.push_back(entry);
        return static_cast<int>(model_.parts.size()) - 1;
    }

    // Children of an assembly label (its component references).
    void add_children(OcctOccurrence& parent, const TDF_Label& assembly)
    {
        TDF_LabelSequence components;
        XCAFDoc_ShapeTool::GetComponents(assembly, components, false);
        std::map<std::string, int> occurrences;  // per product, numbered from 1 in this assembly
        for (int i = 1; i <= components.Length(); ++i) {
            const TDF_Label& component = components.Value(i);
            TDF_Label referred;
            if (!XCAFDoc_ShapeTool::GetReferredShape(component, referred)) continue;
            const std::string product = product_name(referred);
            std::string instance = given_name(component, names_, true);
            // Some writers name every instance after the assembly that holds
            // it, which says nothing of the part.
            if (instance == parent.name || instance == label_name(assembly, names_)) instance.clear();
            if (!XCAFDoc_ShapeTool::IsAssembly(referred)) {
                const TopoDS_Shape shape = XCAFDoc_ShapeTool::GetShape(referred);
                if (is_reference_only(shape)) {
                    // A curve or point placed in the assembly belongs to the assembly.
                    add_placed_features(parent, component, referred, instance.empty() ? product : instance,
                                        XCAFDoc_ShapeTool::GetLocation(component));
                    continue;
                }
            }
            OcctOccurrence child;
            const int number = ++occurrences[product];
            child.name = !instance.empty() && instance != product ? instance : product + "-" + std::to_string(number);
            child.placement = parent.placement * XCAFDoc_ShapeTool::GetLocation(component).Transformation();
            child.path = parent.path + "/" + entry_of(component);
            child.visible = colours_->IsVisible(component) && colours_->IsVisible(referred);
            if (XCAFDoc_ShapeTool::IsAssembly(referred))
                add_children(child, referred);
            else
                child.part = part_of(referred);
            parent.children.push_back(std::move(child));
        }
    }

    void add_placed_features(OcctOccurrence& owner, const TDF_Label& component, const TDF_Label& referred,
                             const std::string& name, const TopLoc_Location& location)
    {
        TopoDS_Shape shape = XCAFDoc_ShapeTool::GetShape(referred);
        shape.Location(location);
        const bool shown = colours_->IsVisible(component) && colours_->IsVisible(referred);
        for (OcctFeature& f : features_of(shapes_, colours_, &names_, referred, shape, name)) {
            f.id = "/" + entry_of(component) + f.id;
            f.visible = f.visible && shown;
            if (!f.colour) f.colour = colour_of(colours_, component, XCAFDoc_ColorCurv);
            owner.features.push_back(std::move(f));
        }
    }

private:
    Handle(XCAFDoc_ShapeTool) shapes_;
    Handle(XCAFDoc_ColorTool) colours_;
    NameDecoder& names_;
    const Materials& materials_;
    const SolidNames& solid_names_;
    OcctModel& model_;
    std::vector<std::string> part_entries_;
};

}  // namespace

void fail_to_read(const std::string& path, const std::string& why)
{
    throw std::runtime_error("Unable to read the model '" + path + "': " + why);
}

OcctModel walk_document(const Handle(TDocStd_Document) & doc, const std::string& path, NameDecoder& names,
                        const Materials& materials, const SolidNames& solid_names,
                        const std::function<void(const std::string&)>& warn)
{
    Handle(XCAFDoc_ShapeTool) shapes = XCAFDoc_DocumentTool::ShapeTool(doc->Main());
    Handle(XCAFDoc_ColorTool) colours = XCAFDoc_DocumentTool::ColorTool(doc->Main());
    TDF_LabelSequence free;
    shapes->GetFreeShapes(free);
    if (free.IsEmpty()) fail_to_read(path, "the file holds no shape");

    OcctModel model;
    XcafWalker walker(shapes, colours, names, materials, solid_names, model);
    struct WarnOfDensities {
        XcafWalker& walker;
        const std::function<void(const std::string&)>& warn;
        ~WarnOfDensities()
        {
            if (warn)
                for (const auto& which : walker.unreadable_densities)
                    warn("the density of material " + which + " is in a unit that is not a mass over a length cubed; --density applies");
        }
    } warn_of_densities{walker, warn};
    const std::string file_name = fs::path(path).stem().string();
    if (free.Length() == 1 && !XCAFDoc_ShapeTool::IsAssembly(free.Value(1))) {
        model.root.name = file_name;
        model.root.path = entry_of(free.Value(1));
        model.root.part = walker.part_of(free.Value(1));
        return model;
    }
    model.is_assembly = true;
    if (free.Length() == 1) {
        model.root.name = given_name(free.Value(1), names);
        if (model.root.name.empty()) model.root.name = file_name;
        model.root.path = entry_of(free.Value(1));
        walker.add_children(model.root, free.Value(1));
        return model;
    }
    // Several top-level shapes hang under one root named after the file.
    model.root.name = file_name;
    model.root.path = "file";
    int unnamed = 0;
    for (int i = 1; i <= free.Length(); ++i) {
        const TDF_Label& label = free.Value(i);
        if (!XCAFDoc_ShapeTool::IsAssembly(label) && is_reference_only(XCAFDoc_ShapeTool::GetShape(label))) {
            walker.add_placed_features(model.root, label, label, given_name(label, names), TopLoc_Location());
            continue;
        }
        OcctOccurrence child;
        child.name = given_name(label, names);
        if (child.name.empty()) child.name = walker.product_name(label) + "-" + std::to_string(++unnamed);
        child.path = model.root.path + "/" + entry_of(label);
        child.visible = colours->IsVisible(label);
        if (XCAFDoc_ShapeTool::IsAssembly(label))
            walker.add_children(child, label);
        else
            child.part = walker.part_of(label);
        model.root.children.push_back(std::move(child));
    }
    return model;
}

std::vector<TopoDS_Shape> solids_of(const TopoDS_Shape& shape)
{
    std::vector<TopoDS_Shape> out;
    for (TopExp_Explorer e(shape, TopAbs_SOLID); e.More(); e.Next()) out.push_back(e.Current());
    return out;
}

std::vector<OcctFeature> free_features(const TopoDS_Shape& shape, const std::string& owner_name)
{
    return features_of({}, {}, nullptr, TDF_Label(), shape, owner_name);
}

}  // namespace velmora::occt
