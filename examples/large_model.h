#pragma once
#include <string>

#include <TopoDS_Shape.hxx>

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

// Part `index` (0..149) of that model, in millimetres: kinds repeat every six.
TopoDS_Shape large_model_part(int index);

}  // namespace velmora::examples
