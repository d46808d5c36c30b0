#pragma once
// Closes a solid's mesh that joining left open, with CGAL's mesh repair.
#include <cstddef>
#include <optional>
#include <string>

#include "solid_mesh.h"

namespace velmora::occt {

struct RepairedSurface {
    SolidMesh mesh;
    std::size_t taken_out = 0;  // triangles at faults no closed surface has
    std::size_t holes = 0;      // holes filled
};

// "12 triangles taken out, 3 holes filled", say.
std::string describe(const RepairedSurface& repair);

// Takes out the triangles at faults that no closed surface has (on an edge
// used more than twice or twice the same way, of no area, repeated), then
// fills every hole that leaves, and every hole there was, with CGAL's hole
// filling (the triangulation of least area over the hole's border).
// Positions are merged exactly, as the export merges them; no position
// moves and none is added. Each triangle keeps its face; a new one takes the
// face of a triangle beside it. None where there is nothing to repair or
// CGAL cannot make a mesh of what is left.
std::optional<RepairedSurface> repaired_surface(const SolidMesh& mesh);

}  // namespace velmora::occt
