#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <TopoDS_Shape.hxx>

namespace velmora::occt {

// The host's image quality, as a CAD system offers it.
enum class MeshQuality { Coarse, Standard, Fine, ExtraFine };

// BRepMesh's limits: the chord error as a fraction of the part's
// bounding-box diagonal, and the angle between neighbouring facets.
struct Deflection {
    double chord;
    double angle;  // radians
};

Deflection deflection_of(MeshQuality quality);
// "coarse", "standard", "fine", "extrafine"; none for anything else.
std::optional<MeshQuality> quality_named(const std::string& name);

// `in_parallel`: BRepMesh's own option, the part's faces meshed on every core.
void mesh_part(const TopoDS_Shape& shape, Deflection deflection = deflection_of(MeshQuality::Standard),
               bool in_parallel = false);

// Meshes every shape with mesh_part, `threads` at a time (0: one per core).
// Distinct parts share no faces, so each gets the triangles it would get
// alone; a shape listed twice is meshed once. `progress` hears the fraction
// done (from the meshing threads, one call at a time). The first failure is
// thrown once every thread has stopped.
void mesh_parts(const std::vector<TopoDS_Shape>& shapes, unsigned threads,
                Deflection deflection = deflection_of(MeshQuality::Standard),
                const std::function<void(double fraction)>& progress = {});

}  // namespace velmora::occt
