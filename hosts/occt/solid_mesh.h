#pragma once
// A solid's triangles as the host hands them out, and what a surface that
// encloses a volume must be.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace velmora::occt {

// The solid's nodes in its own frame and its triangles, one list of
// triangle numbers per B-rep face (in the solid's face order).
struct SolidMesh {
    std::vector<std::vector<int>> facets;
    std::vector<std::array<int, 3>> triangles;
    std::vector<std::array<double, 3>> points;
};

// Hashes a position by its bits (-0.0 as +0.0), as exactly as the export
// merges positions.
struct PositionHash {
    std::size_t operator()(const std::array<double, 3>& p) const;
};

// What keeps a mesh from enclosing a volume, seen as the export sees it:
// positions merged exactly (bit for bit), each edge by its two ends.
struct SurfaceFaults {
    std::size_t open_edges = 0;        // used by one triangle
    std::size_t overused_edges = 0;    // used by more than two
    std::size_t misoriented_edges = 0; // used by two, both the same way
    std::size_t degenerate = 0;        // triangles of no area
    std::size_t duplicates = 0;        // triangles another one repeats, either way round

    std::size_t total() const { return open_edges + overused_edges + misoriented_edges + degenerate + duplicates; }
    bool none() const { return total() == 0; }
    // "6 open edges, 18 edges used by more than two triangles", say; empty for none.
    std::string describe() const;
};

// Every edge used by exactly two triangles in opposite directions, no
// triangle of zero area (exactly: three corners on one line), none
// repeated: anything else is counted.
SurfaceFaults check_surface(const SolidMesh& mesh);

// The volume the mesh encloses (signed: negative when it faces inwards).
double enclosed_volume(const SolidMesh& mesh);

}  // namespace velmora::occt
