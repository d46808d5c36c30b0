#pragma once
// A model as the OpenCASCADE host holds it: its distinct parts and the
// assembly tree of their occurrences.
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <TopoDS_Shape.hxx>
#include <gp_Trsf.hxx>

namespace velmora::occt {

using Rgb = std::array<double, 3>;  // red, green, blue in 0..1

// A reference element: a free vertex (a point) or a free edge or wire (a
// curve), in its owner's coordinates.
struct OcctFeature {
    enum Kind { Point, Curve } kind = Point;
    std::string name;  // as the file names it, else made up by the reader
    TopoDS_Shape shape;
    bool visible = true;
    std::optional<Rgb> colour;
    std::string id;  // its place in the file below its owner, stable across loads
};

// One distinct part of a model: its shape in its own coordinates (metres)
// and its solids. Occurrences of a part share it (and so its mesh).
struct OcctPart {
    std::string name;
    TopoDS_Shape shape;
    std::vector<TopoDS_Shape> solids;
    std::vector<std::string> solid_names;  // empty where the file names none
    std::vector<bool> solid_visible;       // false where the file hides a solid
    std::optional<Rgb> colour;  // the part's own colour
    // Colours the file gives single faces or solids of the part.
    std::vector<std::pair<TopoDS_Shape, Rgb>> sub_colours;
    std::vector<OcctFeature> features;
    // The material the file gives the part, and its density in kg/m^3
    // where the file states it in a unit of mass over length cubed.
    std::string material;
    std::optional<double> density;
};

// One place in the assembly tree. `placement` is the whole placement from
// the occurrence's coordinates into the root's.
struct OcctOccurrence {
    std::string name;
    gp_Trsf placement;
    int part = -1;  // index into OcctModel::parts; -1 for a sub-assembly or the root
    std::string path;  // the occurrence's place in the file, stable across loads
    bool visible = true;  // false where the file hides it (and so all below it)
    std::vector<OcctOccurrence> children;
    // Reference elements placed in this assembly itself (curves or points
    // that are components of it in the file).
    std::vector<OcctFeature> features;
};

struct OcctModel {
    // A part (one shape that is no assembly) or an assembly.
    bool is_assembly = false;
    std::vector<OcctPart> parts;
    // For a part: root.part is the part. For an assembly: the root component,
    // named after the file.
    OcctOccurrence root;
};

// A solid's name: the file's, else "Body" and its number in the part from 1.
inline std::string solid_name(const OcctPart& part, std::size_t solid)
{
    return part.solid_names[solid].empty() ? "Body" + std::to_string(solid + 1) : part.solid_names[solid];
}

// The keys that name an occurrence's objects, stable across loads: the host
// hands them out as persistent ids, and a window finds what to highlight by them.
inline std::string body_key(const std::string& path, std::size_t solid) { return path + "#s" + std::to_string(solid + 1); }
inline std::string feature_key(const std::string& path, const OcctFeature& feature) { return path + feature.id; }

}  // namespace velmora::occt
