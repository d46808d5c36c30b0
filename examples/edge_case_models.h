#pragma once
// Small models that each reproduce a kind of trouble that real files from
// other CAD systems bring to meshing and reading, in millimetres.
#include <string>

#include <TopoDS_Shape.hxx>

namespace velmora::examples {

// A 40 x 30 x 20 block with a round hole through it.
TopoDS_Shape block_with_a_hole();

// `shape`'s first solid with each face placed by a location of its own, its
// surface and wires placed back inside it: two turns that undo each other,
// composed in another order on each face. The shape is the same and valid,
// its edges shared, but each face's nodes on an edge pass through a matrix
// rounded its own way, as in models from some CAD systems.
TopoDS_Shape with_located_faces(const TopoDS_Shape& shape);

// A box fused with a sphere whose poles lie on the box's top face: each pole
// is a degenerated edge whose vertex other faces share.
TopoDS_Shape box_with_a_sphere();

// A twisted blade (a B-spline patch of degree 5 over a long, narrow
// parameter range) made a solid by extrusion. Its lower trimming curve dips
// 3e-5 below the surface's parameter range, as the approximated trimming
// curves of some writers do: BRepMesh's Delabella algorithm then leaves
// triangles out along that edge.
TopoDS_Shape blade_trimmed_outside_its_surface();

// A 60 x 40 x 10 block with two round holes through it that touch each
// other along a line: the solid is as thin as nothing there, and the faces
// of both holes may put a triangle edge on that line.
TopoDS_Shape block_with_touching_holes();

// A round boss with a bore that touches its side along a line: its top and
// bottom faces end in a cusp, where the chords of two circles that meet at a
// tangent cut each other.
TopoDS_Shape boss_with_a_bore_touching_its_side();

// The first `count` faces of a 10 mm cube, loose (no shell, no solid):
// six close into a volume, fewer are an open sheet.
TopoDS_Shape cube_faces(int count);

// A box without its top face: a solid whose B-rep is open.
TopoDS_Shape box_without_a_lid();

// A 10 mm cube, a free vertex at (1, 2, 3), a wire of a line from (0, 0, 50)
// to (100, 0, 50) and an arc on to (150, 0, 100) drawn backwards, and a lone
// edge.
TopoDS_Shape reference_geometry();

// Writes each of them into `dir`: located.brep (the block, faces located),
// located.step and located.igs (the block turned: these formats keep no
// face locations), poles.brep (the sphere on the box, faces located),
// blade.brep, touching.brep, cusp.brep, lidless.brep, reference.brep,
// faces.igs and faces.step (the cube's six faces: OpenCASCADE writes them
// to IGES as one shape, to STEP as six), sheet.brep (five of them) and
// curves.brep (the reference geometry without its cube). Throws when it
// cannot write.
void write_edge_case_models(const std::string& dir);

}  // namespace velmora::examples
