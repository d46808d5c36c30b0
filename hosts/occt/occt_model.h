#pragma once
#include <array>
#include <optional>
#include <string>
#include <vector>

#include <TopoDS_Shape.hxx>
#include <gp_Trsf.hxx>

namespace velmora::occt {

// One distinct part of a model: its shape in its own coordinates (metres)
// and its solids. Occurrences of a part share it (and so its mesh).
struct OcctPart {
    std::string name;
    TopoDS_Shape shape;
    std::vector<TopoDS_Shape> solids;
    std::vector<std::string> solid_names;  // empty where the file names none
    std::optional<std::array<double, 3>> colour;  // red, green, blue in 0..1
};

// One place in the assembly tree. `placement` is the whole placement from
// the occurrence's coordinates into the root's.
struct OcctOccurrence {
    std::string name;
    gp_Trsf placement;
    int part = -1;  // index into OcctModel::parts; -1 for a sub-assembly or the root
    std::string path;  // the occurrence's place in the file, stable across loads
    std::vector<OcctOccurrence> children;
};

struct OcctModel {
    // A part (one shape that is no assembly) or an assembly.
    bool is_assembly = false;
    std::vector<OcctPart> parts;
    // For a part: root.part is the part. For an assembly: the root component,
    // named after the file.
    OcctOccurrence root;
};

// Reads STEP (.step, .stp), IGES (.igs, .iges) or BREP (.brep, millimetres)
// with lengths in metres. A missing, empty, unreadable or shape-less file
// fails with a message that names it.
OcctModel read_model(const std::string& path);

}  // namespace velmora::occt
