// The closed-surface check, the plane triangulation faces are made anew
// with, and the repair of what joining leaves open.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "hosts/occt/plane_triangulation.h"
#include "hosts/occt/solid_mesh.h"
#include "hosts/occt/surface_repair.h"

using namespace velmora::occt;

namespace {

// A unit cube of twelve triangles facing out, two per face (face k holds
// triangles 2k and 2k+1).
SolidMesh cube()
{
    SolidMesh m;
    for (int i = 0; i < 8; ++i) m.points.push_back({double(i & 1), double(i >> 1 & 1), double(i >> 2 & 1)});
    const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (int f = 0; f < 6; ++f) {
        const auto& q = quads[f];
        m.triangles.push_back({q[0], q[1], q[2]});
        m.triangles.push_back({q[0], q[2], q[3]});
        m.facets.push_back({2 * f, 2 * f + 1});
    }
    return m;
}

SolidMesh with(SolidMesh m, const std::vector<std::array<int, 3>>& added, std::size_t removed = 0)
{
    m.triangles.erase(m.triangles.begin(), m.triangles.begin() + static_cast<std::ptrdiff_t>(removed));
    for (auto& f : m.facets) {
        std::vector<int> kept;
        for (const int t : f)
            if (t >= static_cast<int>(removed)) kept.push_back(t - static_cast<int>(removed));
        f = kept;
    }
    for (const auto& t : added) {
        m.facets[0].push_back(static_cast<int>(m.triangles.size()));
        m.triangles.push_back(t);
    }
    return m;
}

}  // namespace

// Each fault is counted as what it is, once; the text names each kind.
TEST(SurfaceCheck, CountsEachFaultAsWhatItIs)
{
    struct Case {
        const char* what;
        SolidMesh mesh;
        SurfaceFaults expected;
    };
    SolidMesh twin = cube();
    twin.points.push_back(twin.points[3]);  // a second node at a corner's position
    std::replace(twin.triangles[0].begin(), twin.triangles[0].end(), 3, 8);
    SolidMesh flat = cube();
    flat.points.push_back({2, 0, 0});  // on the line through corners 0 and 1
    const Case cases[] = {
        {"closed", cube(), {}},
        {"a triangle missing", with(cube(), {}, 1), {3, 0, 0, 0, 0}},
        {"a triangle twice", with(cube(), {{0, 2, 3}}), {0, 3, 0, 0, 1}},
        {"back to back", with(cube(), {{0, 3, 2}}), {0, 3, 0, 0, 1}},
        {"one face turned", with(cube(), {{0, 3, 2}, {0, 1, 3}}, 2), {0, 0, 4, 0, 0}},
        {"collapsed", with(cube(), {{0, 1, 1}}), {0, 0, 0, 1, 0}},
        {"on a line", with(flat, {{0, 1, 8}}), {2, 1, 0, 1, 0}},
        {"positions merged exactly", twin, {}},
    };
    for (const auto& c : cases) {
        const SurfaceFaults f = check_surface(c.mesh);
        EXPECT_EQ(std::tie(f.open_edges, f.overused_edges, f.misoriented_edges, f.degenerate, f.duplicates),
                  std::tie(c.expected.open_edges, c.expected.overused_edges, c.expected.misoriented_edges,
                           c.expected.degenerate, c.expected.duplicates))
            << c.what;
    }
    EXPECT_EQ(check_surface(with(cube(), {}, 1)).describe(), "3 open edges");
    EXPECT_EQ((SurfaceFaults{6, 18, 1, 0, 2}).describe(),
              "6 open edges, 18 edges used by more than two triangles, 1 edge used twice the same way, 2 repeated triangles");
    EXPECT_NEAR(enclosed_volume(cube()), 1.0, 1e-12);
}

// A region's sides are edges of the result, nothing is added, the ids are
// the caller's; where sides cross, the longer segment is named.
TEST(PlaneTriangulation, KeepsItsSidesOrNamesWhereTheyCross)
{
    // A square with a square hole; the hole's last corner a rounding off
    // its first, where the two sides meet.
    const std::vector<std::vector<PlaneNode>> ring = {
        {{0, 0, 0}, {4, 0, 1}, {4, 4, 2}, {0, 4, 3}, {0, 0, 0}},
        {{1, 1, 4}, {1, 3, 5}, {3, 3, 6}},
        {{3, 3, 6}, {3, 1, 7}, {1, 1 + 1e-13, 4}},
    };
    const PlaneTriangles made = triangulate_plane(ring, {{2, 0.5, 8}, {2, 2, 9}});
    ASSERT_TRUE(made.made);
    EXPECT_EQ(made.triangles.size(), 10u);  // the node in the hole is left out
    std::set<int> used;
    double area = 0;
    const double u[] = {0, 4, 4, 0, 1, 1, 3, 3, 2}, v[] = {0, 0, 4, 4, 1, 3, 3, 1, 0.5};
    for (const auto& t : made.triangles) {
        used.insert(t.begin(), t.end());
        area += ((u[t[1]] - u[t[0]]) * (v[t[2]] - v[t[0]]) - (v[t[1]] - v[t[0]]) * (u[t[2]] - u[t[0]])) / 2;
    }
    EXPECT_EQ(used, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_NEAR(area, 12.0, 1e-9);  // counter-clockwise, the hole left out

    // Two sides from one corner whose chords cut each other.
    const PlaneTriangles crossed = triangulate_plane({{{0, 0, 0}, {10, 1, 1}, {10, 3, 2}}, {{0, 0, 0}, {2, 0.1, 3}, {4, 0.5, 4}, {10, 3, 2}}}, {});
    EXPECT_FALSE(crossed.made);
    EXPECT_EQ(crossed.too_long, (std::vector<std::pair<std::size_t, std::size_t>>{{0, 0}}));
}

// What joining cannot close is closed by CGAL: a hole filled, a repeated
// triangle taken out; every triangle keeps its face, the positions stay.
TEST(SurfaceRepair, ClosesHolesAndTakesOutRepeats)
{
    for (const SolidMesh& broken : {with(cube(), {}, 1), with(cube(), {{0, 3, 2}})}) {
        const auto repaired = repaired_surface(broken);
        ASSERT_TRUE(repaired);
        EXPECT_TRUE(check_surface(repaired->mesh).none()) << describe(*repaired);
        EXPECT_NEAR(enclosed_volume(repaired->mesh), 1.0, 1e-12);
        std::size_t in_faces = 0;
        for (const auto& f : repaired->mesh.facets) in_faces += f.size();
        EXPECT_EQ(in_faces, repaired->mesh.triangles.size());
        for (const auto& p : repaired->mesh.points)
            EXPECT_TRUE(std::all_of(p.begin(), p.end(), [](double x) { return x == 0 || x == 1; }));
    }
    EXPECT_EQ(describe(*repaired_surface(with(cube(), {}, 1))), "1 hole filled");
    EXPECT_FALSE(repaired_surface(cube()));
}
