#pragma once
// A solid's face triangulations joined into one closed mesh.
#include <TopoDS_Shape.hxx>

#include "solid_mesh.h"

namespace velmora::occt {

// The solid's faces as BRepMesh triangulated them, joined along their
// edges by construction: each vertex of the B-rep is one node, each edge
// one chain of nodes (its vertices at its ends, between them the edge's
// curve at the parameters BRepMesh chose), and both faces of an edge use
// exactly that chain. A face whose own triangles do not end on its chains
// (BRepMesh left a gap, a hole or no triangles at all, or put other nodes on
// an edge) is triangulated again in its parameter plane from its chains and
// BRepMesh's nodes inside it; an edge without polygons (all its faces left
// without triangles) is divided at `deflection` and `angle`, BRepMesh's own
// limits. Triangles that collapse (onto a pole, say) are left out.
SolidMesh joined_mesh(const TopoDS_Shape& solid, double deflection, double angle);

// Whether every edge of the solid's B-rep bounds faces on both of its sides
// (a seam the one face on both), so that the solid encloses a volume.
bool brep_closed(const TopoDS_Shape& solid);

}  // namespace velmora::occt
