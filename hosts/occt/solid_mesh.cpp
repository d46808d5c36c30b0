#include "solid_mesh.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

namespace velmora::occt {
namespace {

using Point = std::array<double, 3>;
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;

std::uint64_t bits(double v)
{
    v += 0.0;  // -0.0 is +0.0, as the export's merge has it
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

std::uint64_t mix(std::uint64_t h) { return (h ^ (h >> 31)) * 0x9E3779B97F4A7C15ull; }

using Corners = std::array<std::uint32_t, 3>;

struct CornersHash {
    std::size_t operator()(const Corners& c) const { return static_cast<std::size_t>(mix(mix(mix(c[0]) ^ c[1]) ^ c[2])); }
};

// The triangle turned so that its lowest corner comes first; the same
// triangle walked the other way round, turned alike, if `flip`.
Corners canonical(Corners c, bool flip)
{
    if (flip) std::swap(c[1], c[2]);
    std::rotate(c.begin(), std::min_element(c.begin(), c.end()), c.end());
    return c;
}

void count(std::size_t n, const char* one, const char* many, std::string& out)
{
    if (n == 0) return;
    if (!out.empty()) out += ", ";
    out += std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::size_t PositionHash::operator()(const Point& p) const
{
    return static_cast<std::size_t>(mix(mix(mix(bits(p[0])) ^ bits(p[1])) ^ bits(p[2])));
}

std::string SurfaceFaults::describe() const
{
    std::string out;
    count(open_edges, "open edge", "open edges", out);
    count(overused_edges, "edge used by more than two triangles", "edges used by more than two triangles", out);
    count(misoriented_edges, "edge used twice the same way", "edges used twice the same way", out);
    count(degenerate, "triangle of no area", "triangles of no area", out);
    count(duplicates, "repeated triangle", "repeated triangles", out);
    return out;
}

SurfaceFaults check_surface(const SolidMesh& mesh)
{
    std::unordered_map<Point, std::uint32_t, PositionHash> numbers;
    numbers.reserve(mesh.points.size());
    std::vector<std::uint32_t> number(mesh.points.size());
    for (std::size_t i = 0; i < mesh.points.size(); ++i)
        number[i] = numbers.try_emplace(mesh.points[i], static_cast<std::uint32_t>(numbers.size())).first->second;

    SurfaceFaults faults;
    // Per edge (lower number first): how often it is walked up and down.
    struct Uses {
        std::uint32_t up = 0, down = 0;
    };
    std::unordered_map<std::uint64_t, Uses> edges;
    edges.reserve(mesh.triangles.size() * 2);
    std::unordered_map<Corners, std::uint32_t, CornersHash> seen;
    seen.reserve(mesh.triangles.size());
    for (const auto& t : mesh.triangles) {
        const Corners c{number[static_cast<std::size_t>(t[0])], number[static_cast<std::size_t>(t[1])],
                        number[static_cast<std::size_t>(t[2])]};
        const auto& p = mesh.points[static_cast<std::size_t>(t[0])];
        const auto& q = mesh.points[static_cast<std::size_t>(t[1])];
        const auto& r = mesh.points[static_cast<std::size_t>(t[2])];
        if (CGAL::collinear(Kernel::Point_3(p[0], p[1], p[2]), Kernel::Point_3(q[0], q[1], q[2]),
                            Kernel::Point_3(r[0], r[1], r[2])))
            ++faults.degenerate;
        // A triangle collapsed onto an edge is a fault of its own, not one
        // of the edges it lies on.
        if (c[0] == c[1] || c[1] == c[2] || c[2] == c[0]) continue;
        // A second triangle on the same corners, either way round.
        if (++seen[canonical(c, false)] > 1 || seen.count(canonical(c, true))) ++faults.duplicates;
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = c[static_cast<std::size_t>(k)], b = c[static_cast<std::size_t>((k + 1) % 3)];
            Uses& uses = edges[a < b ? (std::uint64_t{a} << 32 | b) : (std::uint64_t{b} << 32 | a)];
            ++(a < b ? uses.up : uses.down);
        }
    }
    for (const auto& [edge, uses] : edges) {
        const std::uint32_t total = uses.up + uses.down;
        if (total == 1)
            ++faults.open_edges;
        else if (total > 2)
            ++faults.overused_edges;
        else if (uses.up != 1)
            ++faults.misoriented_edges;
    }
    return faults;
}

double enclosed_volume(const SolidMesh& mesh)
{
    double six = 0;
    for (const auto& t : mesh.triangles) {
        const auto& p = mesh.points[static_cast<std::size_t>(t[0])];
        const auto& q = mesh.points[static_cast<std::size_t>(t[1])];
        const auto& r = mesh.points[static_cast<std::size_t>(t[2])];
        six += p[0] * (q[1] * r[2] - q[2] * r[1]) - p[1] * (q[0] * r[2] - q[2] * r[0]) + p[2] * (q[0] * r[1] - q[1] * r[0]);
    }
    return six / 6;
}

}  // namespace velmora::occt
