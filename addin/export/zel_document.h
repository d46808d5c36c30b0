#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace velmora::zel {

using Id = std::int64_t;
using Point3 = std::array<double, 3>;
using Triangle = std::array<std::uint64_t, 3>;
// Centre x, y, z; mass; Ixx, Iyy, Izz, Ixy, Ixz, Iyz.
using MIPData = std::array<double, 10>;
using CoordSystem = std::array<double, 12>;
// Rotation r0..r8 in row order, then translation t0..t2.
using Placement = std::array<double, 12>;
inline constexpr Placement kNoPlacement{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};

// `p` moved by `r`: the one formula every placed position goes through.
inline Point3 place(const Placement& r, const Point3& p)
{
    return {r[0] * p[0] + r[1] * p[1] + r[2] * p[2] + r[9], r[3] * p[0] + r[4] * p[1] + r[5] * p[2] + r[10],
            r[6] * p[0] + r[7] * p[1] + r[8] * p[2] + r[11]};
}

// A body's triangulation as it already is in memory (shared by every
// occurrence of the body), placed while the file is written instead of
// copied per occurrence. The lists must outlive the document.
struct PlacedMesh {
    const std::vector<Point3>* vertices = nullptr;  // in the body's frame
    const std::vector<Triangle>* faces = nullptr;   // vertex numbers from 1
    Placement placement = kNoPlacement;
    bool reversed = false;  // each triangle written with its corners the other way round
};

// Whether `r` mirrors (its rotation part has a negative determinant): it
// would turn a mesh's triangles inside out.
inline bool mirrors(const Placement& r)
{
    return r[0] * (r[4] * r[8] - r[5] * r[7]) - r[1] * (r[3] * r[8] - r[5] * r[6]) + r[2] * (r[3] * r[7] - r[4] * r[6]) < 0;
}

struct Colour {
    std::uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const Colour&) const = default;
};

enum class MethodType : std::uint32_t { Triangulation = 0, MIP = 1, PointXYZ = 2, Polyline = 3 };

struct GeomElem {
    MethodType method = MethodType::Triangulation;
    std::string name;
    std::optional<std::string> comment;
    std::optional<std::string> inform;
    std::optional<CoordSystem> LCS;
    std::optional<Colour> color;
    bool visible = true;
};

struct SolidElem : GeomElem {
    std::optional<MIPData> MIP;
    std::vector<Point3> vertices;
    std::vector<Triangle> faces;
    // When set, written instead of `vertices` and `faces`.
    std::optional<PlacedMesh> mesh;
};

struct MIPElem : GeomElem {
    MIPData MIP{};
};

struct LineElem : GeomElem {
    std::vector<Point3> vertices;
};

struct PointElem : GeomElem {
    Point3 center{};
};

// The eight object lists, in the order the file writes their kinds.
struct ObjectLists {
    std::vector<Id> solids, element_MIPs, lines, points;
    std::vector<Id> solid_refs, element_MIP_refs, line_refs, point_refs;
};

struct StructureRecord : ObjectLists {
    std::vector<Id> structures;
    std::vector<Id> structure_refs;
    std::string name;
    std::optional<std::string> comment;
    std::optional<std::string> inform;
    std::optional<CoordSystem> LCS;
};

struct RefElem {
    std::string name;
    CoordSystem MCS{};
    std::string template_name;
    std::optional<std::string> comment;
    std::optional<std::string> inform;
    bool visible = true;
};

struct StructureRefElem {
    std::string name;
    CoordSystem MCS{};
    std::string template_name;
    std::optional<std::string> comment;
    std::optional<std::string> inform;
};

template <class T>
using IdMap = std::unordered_map<Id, T>;

// Templates are written in the order of their maps: keep them ordered by id.
template <class T>
using TemplateMap = std::vector<std::pair<Id, T>>;

struct ZelDocument : ObjectLists {
    std::optional<std::string> inform;
    std::uint32_t minorVersion = 0;
    std::uint32_t majorVersion = 0;
    std::optional<std::string> producerPlatform, producerVersion, producerName;

    std::vector<Id> structures;
    std::vector<Id> structure_refs;

    TemplateMap<SolidElem> template_solids;
    TemplateMap<MIPElem> template_element_MIPs;
    TemplateMap<LineElem> template_lines;
    TemplateMap<PointElem> template_points;
    TemplateMap<StructureRecord> template_structures;

    IdMap<SolidElem> solid_map;
    IdMap<MIPElem> element_MIP_map;
    IdMap<LineElem> line_map;
    IdMap<PointElem> point_map;
    IdMap<StructureRecord> structure_map;

    IdMap<RefElem> solid_ref_map, element_MIP_ref_map, line_ref_map, point_ref_map;
    IdMap<StructureRefElem> structure_ref_map;
};

}  // namespace velmora::zel
