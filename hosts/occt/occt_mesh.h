#pragma once
#include <functional>
#include <vector>

#include <TopoDS_Shape.hxx>

namespace velmora::occt {

// A CAD system's standard quality for one part: chord error 0.1 % of the
// part's bounding-box diagonal, 0.5 rad.
void mesh_part(const TopoDS_Shape& shape);

// Meshes every shape with mesh_part, `threads` at a time (0: one per core).
// Distinct parts share no faces, so each gets the triangles it would get
// alone; a shape listed twice is meshed once. `progress` hears the fraction
// done (from the meshing threads, one call at a time). The first failure is
// thrown once every thread has stopped.
void mesh_parts(const std::vector<TopoDS_Shape>& shapes, unsigned threads,
                const std::function<void(double fraction)>& progress = {});

}  // namespace velmora::occt
