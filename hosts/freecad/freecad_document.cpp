#include "freecad_document.h"

#include <sstream>
#include <stdexcept>

#include <BRepBuilderAPI_Transform.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>

namespace velmora::freecad {
namespace {

constexpr double kMetresPerMillimetre = 0.001;

// A shape read, in metres, with its faces' colours carried over.
struct ReadShape {
    TopoDS_Shape shape;
    std::vector<std::pair<TopoDS_Shape, occt::Rgb>> face_colours;
};

ReadShape read_shape(const FreecadShape& source)
{
    std::istringstream in(source.brep);
    TopoDS_Shape shape;
    BRep_Builder builder;
    try {
        BRepTools::Read(shape, in, builder);
    } catch (const Standard_Failure&) {
        shape.Nullify();
    }
    if (shape.IsNull()) throw std::runtime_error("The shape of '" + source.label + "' could not be read");
    gp_Trsf to_metres;
    to_metres.SetScaleFactor(kMetresPerMillimetre);
    BRepBuilderAPI_Transform transform(shape, to_metres, true);
    ReadShape out{transform.Shape(), {}};
    if (!source.face_colours.empty()) {
        // DiffuseColor follows FreeCAD's face numbering: the shape's map of faces.
        TopTools_IndexedMapOfShape faces;
        TopExp::MapShapes(shape, TopAbs_FACE, faces);
        if (static_cast<std::size_t>(faces.Extent()) == source.face_colours.size())
            for (int i = 1; i <= faces.Extent(); ++i)
                out.face_colours.emplace_back(transform.ModifiedShape(faces(i)), source.face_colours[i - 1]);
    }
    return out;
}

occt::OcctPart part_of(const FreecadShape& source)
{
    ReadShape read = read_shape(source);
    occt::OcctPart part;
    part.name = source.label;
    part.shape = read.shape;
    part.solids = occt::solids_of(part.shape);
    // FreeCAD names objects, not their solids: the host numbers them, as it
    // does those of a STEP file that FreeCAD writes.
    part.solid_names.assign(part.solids.size(), std::string{});
    part.solid_visible.assign(part.solids.size(), true);
    part.colour = source.colour;
    part.sub_colours = std::move(read.face_colours);
    // An object that is one curve or point (a sketch, a line) is named by
    // its label; the elements of a larger shape are numbered.
    part.features = occt::free_features(part.shape, part.solids.empty() ? source.label : std::string{});
    for (auto& feature : part.features) {
        const auto& colour = feature.kind == occt::OcctFeature::Point ? source.point_colour : source.line_colour;
        if (colour) feature.colour = colour;
    }
    return part;
}

gp_Trsf placement_of(const std::array<double, 12>& m)
{
    gp_Trsf t;
    // A mirroring placement is a rotation with a negative scale to OpenCASCADE.
    t.SetValues(m[0], m[1], m[2], m[3] * kMetresPerMillimetre, m[4], m[5], m[6], m[7] * kMetresPerMillimetre, m[8],
                m[9], m[10], m[11] * kMetresPerMillimetre);
    return t;
}

occt::OcctOccurrence occurrence_of(const FreecadNode& node, std::size_t shapes)
{
    if (node.shape >= static_cast<int>(shapes))
        throw std::runtime_error("The object '" + node.label + "' refers to no shape taken");
    occt::OcctOccurrence occurrence;
    occurrence.name = node.label;
    occurrence.path = node.path;
    occurrence.placement = placement_of(node.matrix);
    occurrence.part = node.shape;
    occurrence.visible = node.visible;
    for (const auto& child : node.children) occurrence.children.push_back(occurrence_of(child, shapes));
    return occurrence;
}

}  // namespace

occt::OcctModel occt_model_of(const FreecadDocument& document)
{
    occt::OcctModel model;
    model.is_assembly = true;
    for (const auto& shape : document.shapes) model.parts.push_back(part_of(shape));
    model.root.name = document.label;
    model.root.path = "document";
    for (const auto& node : document.top) model.root.children.push_back(occurrence_of(node, model.parts.size()));
    return model;
}

namespace {

std::vector<std::string> element_names(const TopTools_IndexedMapOfShape& map, const TopoDS_Shape& shape,
                                       TopAbs_ShapeEnum type, const char* kind)
{
    std::vector<std::string> out;
    TopTools_IndexedMapOfShape own;
    TopExp::MapShapes(shape, type, own);
    for (int i = 1; i <= own.Extent(); ++i)
        if (const int index = map.FindIndex(own(i)); index > 0) out.push_back(kind + std::to_string(index));
    return out;
}

void add_targets(const occt::OcctModel& model, const occt::OcctOccurrence& occurrence,
                 std::map<std::string, SelectionTarget>& out)
{
    out[occurrence.path] = {occurrence.path, {}};
    for (const auto& child : occurrence.children) add_targets(model, child, out);
    if (occurrence.part < 0) return;
    const auto& part = model.parts[static_cast<std::size_t>(occurrence.part)];
    TopTools_IndexedMapOfShape faces, edges, vertices;
    TopExp::MapShapes(part.shape, TopAbs_FACE, faces);
    TopExp::MapShapes(part.shape, TopAbs_EDGE, edges);
    TopExp::MapShapes(part.shape, TopAbs_VERTEX, vertices);
    for (std::size_t i = 0; i < part.solids.size(); ++i) {
        auto own = element_names(faces, part.solids[i], TopAbs_FACE, "Face");
        // The object's one solid with all its faces: the object itself.
        if (part.solids.size() == 1 && own.size() == static_cast<std::size_t>(faces.Extent())) own.clear();
        out[occt::body_key(occurrence.path, i)] = {occurrence.path, std::move(own)};
    }
    for (const auto& feature : part.features) {
        auto own = feature.kind == occt::OcctFeature::Point
                       ? element_names(vertices, feature.shape, TopAbs_VERTEX, "Vertex")
                       : element_names(edges, feature.shape, TopAbs_EDGE, "Edge");
        out[occt::feature_key(occurrence.path, feature)] = {occurrence.path, std::move(own)};
    }
}

}  // namespace

std::map<std::string, SelectionTarget> selection_targets(const occt::OcctModel& model)
{
    std::map<std::string, SelectionTarget> out;
    add_targets(model, model.root, out);
    return out;
}

}  // namespace velmora::freecad
