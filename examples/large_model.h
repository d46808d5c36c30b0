#pragma once
#include <array>
#include <string>
#include <vector>

#include <TopoDS_Shape.hxx>
#include <gp_Trsf.hxx>

namespace velmora::examples {

// What write_large_model produced.
struct LargeModelSummary {
    int parts = 0;        // distinct part products
    int assemblies = 0;   // distinct assembly products, the root included
    int occurrences = 0;  // part occurrences after every assembly is expanded
};

// Writes a large machine (STEP, millimetres) for benchmarks: 150 distinct
// parts of six kinds (filleted blocks with holes, bushings, tori, revolved
// shafts, booleans, flanges), each with its own name and colour, in 25
// station designs of 20 parts, placed as 10 lines of 10 stations: 2,000 part
// occurrences three levels below the root. The same call writes the same
// model. Throws when it cannot write.
LargeModelSummary write_large_model(const std::string& path);

// That model's parts and how they are placed, in millimetres.
struct LargeModelLayout {
    struct Part {
        std::string name;
        std::array<double, 3> rgb;
        TopoDS_Shape shape;
    };
    // One placement of a part in a station, or of a station in a line.
    struct Use {
        int of;  // the part's or the station's index
        gp_Trsf placement;
        std::string name;  // the occurrence's own name; empty for none
    };
    struct Assembly {
        std::string name;
        std::vector<Use> uses;
    };
    std::vector<Part> parts;
    std::vector<Assembly> stations, lines;
    std::vector<gp_Trsf> line_placements;  // in the root
};
LargeModelLayout large_model_layout();

// The same model for other CAD systems to build: each part as a BREP file
// (partN.brep) and the rest in layout.txt, one line each: "part FILE R G B
// NAME", "station NAME" then its "use PART 12-NUMBERS [NAME]", "line NAME"
// then its "place STATION 12-NUMBERS", "root 12-NUMBERS" per line; the
// numbers are the first three rows of a placement's 4x4 matrix.
void write_large_model_layout(const std::string& dir);

// Part `index` (0..149) of that model, in millimetres: kinds repeat every six.
TopoDS_Shape large_model_part(int index);

}  // namespace velmora::examples
