#pragma once
// A face's triangles made anew in its parameter plane, bounded by exactly
// the nodes its edges were given.
#include <array>
#include <cstddef>
#include <utility>
#include <vector>

namespace velmora::occt {

struct PlaneNode {
    double u, v;
    int id;  // the caller's; the same id may stand at several places (a seam's two sides, a pole)
};

struct PlaneTriangles {
    bool made = false;
    // The nodes' ids, counter-clockwise in (u, v).
    std::vector<std::array<int, 3>> triangles;
    // Where the sides cross (curves that meet at a tangent, divided into
    // chords that cut each other): of each two segments that cross, the
    // longer, as its side and its first node there.
    std::vector<std::pair<std::size_t, std::size_t>> too_long;
};

// Triangulates the region that `sides` bound (a constrained Delaunay
// triangulation: each side a chain of nodes, the region inside an odd
// number of them), with `interior` as further nodes where they fall
// inside it and off its sides. No node is added, so each side's segments
// are exactly edges of the result. Not made where sides cross each other
// or two ids fall on one place.
PlaneTriangles triangulate_plane(const std::vector<std::vector<PlaneNode>>& sides, const std::vector<PlaneNode>& interior);

}  // namespace velmora::occt
