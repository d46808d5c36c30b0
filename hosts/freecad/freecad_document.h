#pragma once
// FreeCAD's document as the add-on takes it when the command starts, and the
// OpenCASCADE host's model made of it.
#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hosts/occt/occt_model.h"

namespace velmora::freecad {

// One distinct shape of the document, in millimetres and its object's own
// coordinates, with the colours FreeCAD draws it in.
struct FreecadShape {
    std::string label;  // its object's
    std::string brep;   // OpenCASCADE's BREP text
    std::optional<occt::Rgb> colour;       // ShapeColor
    std::vector<occt::Rgb> face_colours;   // DiffuseColor, one per face; empty: all in `colour`
    std::optional<occt::Rgb> line_colour;  // of shapes with only edges
    std::optional<occt::Rgb> point_colour;
};

// A node of FreeCAD's model tree: a group (App::Part, a link to one, a link
// array or one of its elements) or an object with a shape.
struct FreecadNode {
    std::string label;
    // Its place in the tree: the top-level object's name and the sub-object
    // path below it ("Part.Link.Box."), FreeCAD's stable names only.
    std::string path;
    bool visible = true;  // as FreeCAD shows the node itself; a hidden parent hides it too
    // The placement FreeCAD draws the node with, in the document's
    // coordinates: the first three rows of a 4x4 matrix, millimetres.
    std::array<double, 12> matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    int shape = -1;  // into FreecadDocument::shapes; -1 for a group
    std::vector<FreecadNode> children;
};

struct FreecadDocument {
    std::string label;
    std::vector<FreecadShape> shapes;
    std::vector<FreecadNode> top;  // as the model tree shows them
};

// The add-on's snapshot (VelmoraSnapshot) as JSON: the document, or
// {"error": why} where FreeCAD could not take it, which is thrown as a
// std::runtime_error. Throws std::invalid_argument for anything else.
FreecadDocument freecad_document_from_json(std::string_view json);

// The document as one assembly named after it: groups are sub-assemblies,
// shape objects parts (their solids bodies, their free edges and vertices
// curves and points), each shape read once and shared by its nodes. Lengths
// in metres. Fails with a message naming the object whose shape is unreadable.
occt::OcctModel occt_model_of(const FreecadDocument& document);

// What FreeCAD selects to show one of the host's objects: the node's path
// and, for a body, curve or point, its elements there ("Face3", "Edge1",
// "Vertex2"); none for a whole node.
struct SelectionTarget {
    std::string path;
    std::vector<std::string> elements;
};

// The target of every key the host highlights by (occurrence paths, body
// and feature keys).
std::map<std::string, SelectionTarget> selection_targets(const occt::OcctModel& model);

}  // namespace velmora::freecad
