#pragma once
// What a ZEL file's solids hold, read back for tests: vertices, triangles,
// the volume and bounding box they enclose, the MIP and colour written.
#include <array>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "cad_rpc_types.h"

namespace velmora::testing {

// Settings that export every kind of object, into `path`.
inline CAD_RPC::Settings every_kind(const std::string& path = {})
{
    CAD_RPC::Settings settings;
    settings.save_filepath = path;
    settings.export_solids = settings.export_curves = settings.export_points = settings.export_MIPs = true;
    return settings;
}

using Point = std::array<double, 3>;
using Triangle = std::array<long, 3>;

// Rows of three numbers, "x, y, z;" each, as vertices and faces are written.
template <class Row>
std::vector<Row> parse_rows(const char* text)
{
    std::vector<Row> out;
    std::istringstream in(text);
    Row r;
    char sep;
    while (in >> r[0] >> sep >> r[1] >> sep >> r[2] >> sep) out.push_back(r);
    return out;
}
inline std::vector<Point> parse_points(const char* text) { return parse_rows<Point>(text); }
inline std::vector<Triangle> parse_triangles(const char* text) { return parse_rows<Triangle>(text); }

// Every directed edge once and its reverse once: closed and consistently oriented.
template <class T>
bool watertight(const std::vector<T>& triangles)
{
    std::map<std::pair<typename T::value_type, typename T::value_type>, int> edges;
    for (const auto& t : triangles)
        for (int k = 0; k < 3; ++k) ++edges[{t[k], t[(k + 1) % 3]}];
    for (const auto& [e, n] : edges)
        if (n != 1 || edges.count({e.second, e.first}) != 1) return false;
    return !triangles.empty();
}

// Signed: negative for a mesh turned inside out.
inline double mesh_volume(const std::vector<Point>& v, const std::vector<Triangle>& triangles)
{
    double six_v = 0;
    for (const auto& t : triangles) {
        // The file numbers vertices from 1.
        const Point &a = v.at(t[0] - 1), &b = v.at(t[1] - 1), &c = v.at(t[2] - 1);
        six_v += a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                 a[2] * (b[0] * c[1] - b[1] * c[0]);
    }
    return six_v / 6.0;
}

// `p` placed by a reference's MCS (r0..r8, t0..t2).
inline Point placed(const std::vector<double>& mcs, const Point& p)
{
    Point q{};
    for (std::size_t r = 0; r < 3; ++r) q[r] = mcs.at(3 * r) * p[0] + mcs.at(3 * r + 1) * p[1] + mcs.at(3 * r + 2) * p[2] + mcs.at(9 + r);
    return q;
}

// A <solid> (or <templateSolid>) element as numbers.
struct ZelSolid {
    std::string name;
    std::vector<Point> vertices;
    std::vector<Triangle> triangles;
    std::vector<double> mip;  // centre x, y, z, mass, inertia tensor
    std::array<int, 3> colour{-1, -1, -1};

    double volume() const { return mesh_volume(vertices, triangles); }
    // Minimum x, y, z, then maximum x, y, z.
    std::array<double, 6> box() const
    {
        std::array<double, 6> b{1e300, 1e300, 1e300, -1e300, -1e300, -1e300};
        for (const auto& p : vertices)
            for (int k = 0; k < 3; ++k) {
                b[k] = std::min(b[k], p[k]);
                b[k + 3] = std::max(b[k + 3], p[k]);
            }
        return b;
    }
};

inline std::vector<double> numbers_after_tag(const char* attribute)
{
    std::vector<double> out;
    std::string text(attribute);
    std::istringstream in(text.substr(text.find(',') == std::string::npos ? text.size() : text.find(',') + 1));
    double value;
    char sep;
    while (in >> value) {
        out.push_back(value);
        in >> sep;
    }
    return out;
}

inline ZelSolid zel_solid(const pugi::xml_node& solid)
{
    ZelSolid s;
    s.name = solid.attribute("name").value();
    s.vertices = parse_points(solid.child_value("vertices"));
    s.triangles = parse_triangles(solid.child_value("faces"));
    s.mip = numbers_after_tag(solid.attribute("MIP").value());
    const auto rgb = numbers_after_tag(solid.attribute("color").value());
    if (rgb.size() == 3) s.colour = {static_cast<int>(rgb[0]), static_cast<int>(rgb[1]), static_cast<int>(rgb[2])};
    return s;
}

// Every solid of the file, in the file's order.
inline std::vector<ZelSolid> zel_solids(const pugi::xml_document& zel)
{
    std::vector<ZelSolid> out;
    for (const auto& x : zel.select_nodes("//solid")) out.push_back(zel_solid(x.node()));
    return out;
}

}  // namespace velmora::testing
