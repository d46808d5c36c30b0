#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <GProp_GProps.hxx>
#include <TopoDS_Shape.hxx>

#include "occt_solid_mesh.h"

namespace velmora::occt {

// The host's image quality, as a CAD system offers it.
enum class MeshQuality { Coarse, Standard, Fine, ExtraFine };

// BRepMesh's limits: the chord error as a fraction of the part's
// bounding-box diagonal, and the angle between neighbouring facets.
struct Deflection {
    double chord;
    double angle;  // radians
    // How far a closed solid's mesh may enclose another volume than the
    // solid, as a fraction of it; 0: as BRepMesh's chords leave it.
    double volume = 0;
};

Deflection deflection_of(MeshQuality quality);
// "coarse", "standard", "fine", "extrafine"; none for anything else.
std::optional<MeshQuality> quality_named(const std::string& name);

// BRepMesh alone, as OpenCASCADE's own exporters mesh: the shape's faces
// triangulated at `deflection` (of the shape's bounding-box diagonal).
// `in_parallel`: BRepMesh's own option, the faces meshed on every core.
void brep_mesh(const TopoDS_Shape& shape, Deflection deflection = deflection_of(MeshQuality::Standard),
               bool in_parallel = false);

// One solid of a part, meshed and joined (see joined_mesh).
struct MeshedSolid {
    std::shared_ptr<const SolidMesh> mesh;
    bool brep_closed = true;  // its B-rep encloses a volume
    SurfaceFaults joined;     // what kept the joined mesh from enclosing one
    std::string repair;       // what was done about it, if anything
    SurfaceFaults faults;     // what still keeps the mesh from enclosing one
    // The solid's volume properties, where its mesh's volume was checked.
    std::shared_ptr<const GProp_GProps> volume;
};

// The solid's volume properties to a thousandth: BRepGProp's adaptive
// integration, which a helical or B-spline solid needs (its default
// precision is 1.3 % off for a screw's thread).
std::shared_ptr<const GProp_GProps> volume_properties(const TopoDS_Shape& solid);

// Meshes the part with brep_mesh and joins each of its solids (in explorer
// order). Where a solid with a closed B-rep still does not close, its mesh
// is repaired (see repaired_surface) if that leaves fewer faults. Where a
// closed mesh's volume is off by more than `deflection.volume`, the part is
// meshed again at half the chord and angle, up to twice, while that helps.
std::vector<MeshedSolid> mesh_part(const TopoDS_Shape& shape, Deflection deflection = deflection_of(MeshQuality::Standard),
                                   bool in_parallel = false);

// Meshes every shape with mesh_part, `threads` at a time (0: one per core),
// and returns each shape's solids. Distinct parts share no faces, so each
// gets the triangles it would get alone; a shape listed twice is meshed
// once. `progress` hears the fraction done (from the meshing threads, one
// call at a time). The first failure is thrown once every thread has stopped.
std::vector<std::vector<MeshedSolid>> mesh_parts(const std::vector<TopoDS_Shape>& shapes, unsigned threads,
                                                 Deflection deflection = deflection_of(MeshQuality::Standard),
                                                 const std::function<void(double fraction)>& progress = {});

}  // namespace velmora::occt
