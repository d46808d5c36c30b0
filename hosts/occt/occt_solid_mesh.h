#pragma once
// A solid's face triangulations joined into one mesh, and whether it closes.
#include <array>
#include <cstddef>
#include <vector>

#include <TopoDS_Shape.hxx>

namespace velmora::occt {

// A solid's triangles as the host hands them out: the faces' nodes in the
// solid's frame, one list of triangle numbers per face (in face order).
struct SolidMesh {
    std::vector<std::vector<int>> facets;
    std::vector<std::array<int, 3>> triangles;
    std::vector<std::array<double, 3>> points;
};

// The solid's faces as BRepMesh triangulated them. Every node on an edge
// takes one position for every face that holds the edge, decided from the
// edge itself: an end or a pole (a degenerated edge) is its vertex's point,
// a node between them the edge's curve at the node's parameter. Each face
// would otherwise place the node through its own, differently rounded
// location, and the export's exact vertex merge would leave a crack.
// Triangles that collapse onto a pole are left out.
SolidMesh joined_mesh(const TopoDS_Shape& solid);

// How many edges of the mesh, its positions merged exactly as the export
// merges them, are walked more often one way than the other: 0 for a mesh
// that encloses a volume (a solid touching itself along an edge included).
std::size_t open_edges(const SolidMesh& mesh);

// Whether every edge of the solid's B-rep bounds faces on both of its sides
// (a seam the one face on both), so that the solid encloses a volume.
bool brep_closed(const TopoDS_Shape& solid);

}  // namespace velmora::occt
