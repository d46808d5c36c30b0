#include "large_model.h"

#include "xde_builder.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <BRepAlgoAPI_Cut.hxx>
#include <BRepAlgoAPI_Fuse.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakePolygon.hxx>
#include <BRepFilletAPI_MakeFillet.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRepPrimAPI_MakeRevol.hxx>
#include <BRepPrimAPI_MakeSphere.hxx>
#include <BRepPrimAPI_MakeTorus.hxx>
#include <BRepTools.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <gp_Ax2.hxx>

namespace velmora::examples {
namespace {

constexpr int kParts = 150;
constexpr int kStations = 25;
constexpr int kPartsPerStation = 20;
constexpr int kLines = 10;
constexpr int kStationsPerLine = 10;
constexpr double kPi = 3.14159265358979323846;

const TopoDS_Shape& checked(const TopoDS_Shape& shape, const std::string& what)
{
    if (shape.IsNull()) throw std::runtime_error("large model: could not build " + what);
    return shape;
}

// Every part kind takes a size factor s (about 1..2) so parts of one kind differ.
TopoDS_Shape filleted_block(double s, int holes)
{
    const double a = 60 * s, b = 40 * s, c = 25 * s;
    TopoDS_Shape block = BRepPrimAPI_MakeBox(a, b, c).Shape();
    BRepFilletAPI_MakeFillet fillet(block);
    for (TopExp_Explorer e(block, TopAbs_EDGE); e.More(); e.Next()) fillet.Add(3.0 * s, TopoDS::Edge(e.Current()));
    block = fillet.Shape();
    for (int h = 0; h < holes; ++h) {
        const double x = a * (h + 1) / (holes + 1);
        block = BRepAlgoAPI_Cut(
                    block, BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(x, b / 2, -1), gp_Dir(0, 0, 1)), 5.0 * s, c + 2).Shape())
                    .Shape();
    }
    return checked(block, "a filleted block");
}

TopoDS_Shape bushing(double s)
{
    const TopoDS_Shape outer = BRepPrimAPI_MakeCylinder(20 * s, 30 * s).Shape();
    const TopoDS_Shape inner =
        BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(0, 0, -1), gp_Dir(0, 0, 1)), 12 * s, 30 * s + 2).Shape();
    return checked(BRepAlgoAPI_Cut(outer, inner).Shape(), "a bushing");
}

TopoDS_Shape torus(double s) { return checked(BRepPrimAPI_MakeTorus(30 * s, 6 * s).Shape(), "a torus"); }

// A stepped profile in the XZ plane turned about Z.
TopoDS_Shape revolved_shaft(double s, int steps)
{
    BRepBuilderAPI_MakePolygon profile;
    profile.Add(gp_Pnt(0, 0, 0));
    double z = 0;
    for (int k = 0; k < steps; ++k) {
        const double r = (8 + 4 * ((k * 7) % 3)) * s;
        profile.Add(gp_Pnt(r, 0, z));
        z += 25 * s;
        profile.Add(gp_Pnt(r, 0, z));
    }
    profile.Add(gp_Pnt(0, 0, z));
    profile.Close();
    const TopoDS_Face face = BRepBuilderAPI_MakeFace(profile.Wire());
    return checked(BRepPrimAPI_MakeRevol(face, gp_Ax1(gp_Pnt(0, 0, 0), gp_Dir(0, 0, 1)), 2 * kPi).Shape(),
                   "a revolved shaft");
}

TopoDS_Shape boolean_part(double s)
{
    const TopoDS_Shape box = BRepPrimAPI_MakeBox(gp_Pnt(-25 * s, -25 * s, 0), 50 * s, 50 * s, 30 * s).Shape();
    const TopoDS_Shape ball = BRepPrimAPI_MakeSphere(gp_Pnt(0, 0, 30 * s), 20 * s).Shape();
    const TopoDS_Shape fused = BRepAlgoAPI_Fuse(box, ball).Shape();
    const TopoDS_Shape bore =
        BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(-30 * s, 0, 15 * s), gp_Dir(1, 0, 0)), 8 * s, 60 * s).Shape();
    return checked(BRepAlgoAPI_Cut(fused, bore).Shape(), "a boolean part");
}

TopoDS_Shape flange(double s, int bolts)
{
    TopoDS_Shape disc = BRepPrimAPI_MakeCylinder(45 * s, 8 * s).Shape();
    disc = BRepAlgoAPI_Fuse(disc, BRepPrimAPI_MakeCylinder(20 * s, 25 * s).Shape()).Shape();
    disc = BRepAlgoAPI_Cut(disc, BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(0, 0, -1), gp_Dir(0, 0, 1)), 12 * s, 27 * s).Shape())
               .Shape();
    for (int k = 0; k < bolts; ++k) {
        const double angle = 2 * kPi * k / bolts;
        const gp_Pnt at(34 * s * std::cos(angle), 34 * s * std::sin(angle), -1);
        disc = BRepAlgoAPI_Cut(disc, BRepPrimAPI_MakeCylinder(gp_Ax2(at, gp_Dir(0, 0, 1)), 4 * s, 10 * s).Shape()).Shape();
    }
    return checked(disc, "a flange");
}

struct PartSpec {
    TopoDS_Shape shape;
    std::string name;
    std::array<double, 3> rgb;
};

PartSpec make_part(int i)
{
    const int kind = i % 6, n = i / 6;  // 25 parts of each kind
    const double s = 1.0 + 0.04 * n;
    PartSpec p;
    switch (kind) {
    case 0:
        p = {filleted_block(s, 1 + n % 3), "Block", {}};
        break;
    case 1:
        p = {bushing(s), "Bushing", {}};
        break;
    case 2:
        p = {torus(s), "Ring", {}};
        break;
    case 3:
        p = {revolved_shaft(s, 2 + n % 4), "Shaft", {}};
        break;
    case 4:
        p = {boolean_part(s), "Knuckle", {}};
        break;
    default:
        p = {flange(s, 4 + 2 * (n % 3)), "Flange", {}};
        break;
    }
    p.name += " " + std::to_string(n + 1);
    // Colours spread over the hue circle; all channels non-zero.
    const double h = std::fmod(i * 0.618033988749895, 1.0) * 2 * kPi;
    p.rgb = {0.55 + 0.4 * std::cos(h), 0.55 + 0.4 * std::cos(h - 2 * kPi / 3), 0.55 + 0.4 * std::cos(h + 2 * kPi / 3)};
    return p;
}

}  // namespace

TopoDS_Shape large_model_part(int index)
{
    if (index < 0 || index >= kParts) throw std::out_of_range("large model: no part " + std::to_string(index));
    return make_part(index).shape;
}

LargeModelLayout large_model_layout()
{
    LargeModelLayout layout;
    for (int i = 0; i < kParts; ++i) {
        PartSpec p = make_part(i);
        layout.parts.push_back({p.name, p.rgb, p.shape});
    }
    // Stations: 20 parts on a 5 x 4 grid; every part is used by some station.
    for (int st = 0; st < kStations; ++st) {
        LargeModelLayout::Assembly station{"Station " + std::to_string(st + 1), {}};
        for (int k = 0; k < kPartsPerStation; ++k)
            // Some occurrences carry their own name; the host numbers the rest.
            station.uses.push_back({(st * kPartsPerStation + k) * 7 % kParts,
                                    at(120.0 * (k % 5), 120.0 * (k / 5), 0, (k % 4) * kPi / 2).Transformation(),
                                    k % 5 == 0 ? "Fixture " + std::to_string(k / 5 + 1) : std::string{}});
        layout.stations.push_back(std::move(station));
    }
    for (int l = 0; l < kLines; ++l) {
        LargeModelLayout::Assembly line{"Line " + std::to_string(l + 1), {}};
        for (int k = 0; k < kStationsPerLine; ++k)
            line.uses.push_back({(l * 3 + k * 7) % kStations, at(700.0 * k, 0, 0, 0).Transformation(), {}});
        layout.lines.push_back(std::move(line));
        layout.line_placements.push_back(at(0, 600.0 * l, 0, 0).Transformation());
    }
    return layout;
}

LargeModelSummary write_large_model(const std::string& path)
{
    const LargeModelLayout layout = large_model_layout();
    XdeBuilder b;
    std::vector<TDF_Label> parts;
    for (const auto& p : layout.parts) {
        parts.push_back(b.part(p.shape, p.name));
        b.colour(parts.back(), p.rgb[0], p.rgb[1], p.rgb[2]);
    }
    // Each assembly of `groups`, its uses placed from `of`.
    auto assemblies = [&](const std::vector<LargeModelLayout::Assembly>& groups, const std::vector<TDF_Label>& of) {
        std::vector<TDF_Label> out;
        for (const auto& group : groups) {
            out.push_back(b.assembly(group.name));
            for (const auto& use : group.uses)
                b.place(out.back(), of[static_cast<std::size_t>(use.of)], TopLoc_Location(use.placement), use.name);
        }
        return out;
    };
    const auto stations = assemblies(layout.stations, parts);
    const TDF_Label root = b.assembly("Large machine");
    const auto lines = assemblies(layout.lines, stations);
    for (std::size_t l = 0; l < lines.size(); ++l) b.place(root, lines[l], TopLoc_Location(layout.line_placements[l]));
    b.write(path);
    return {kParts, kStations + kLines + 1, kLines * kStationsPerLine * kPartsPerStation};
}

void write_large_model_layout(const std::string& dir)
{
    namespace fs = std::filesystem;
    const LargeModelLayout layout = large_model_layout();
    fs::create_directories(dir);
    std::ofstream out(fs::path(dir) / "layout.txt");
    out.precision(17);
    auto placement = [&out](const gp_Trsf& t) {
        for (int row = 1; row <= 3; ++row)
            for (int col = 1; col <= 4; ++col) out << " " << t.Value(row, col);
    };
    for (std::size_t i = 0; i < layout.parts.size(); ++i) {
        const auto& p = layout.parts[i];
        const std::string file = "part" + std::to_string(i) + ".brep";
        if (!BRepTools::Write(p.shape, (fs::path(dir) / file).c_str()))
            throw std::runtime_error("Unable to write " + file + " in '" + dir + "'");
        out << "part " << file << " " << p.rgb[0] << " " << p.rgb[1] << " " << p.rgb[2] << " " << p.name << "\n";
    }
    auto assemblies = [&](const char* kind, const char* use_kind, const std::vector<LargeModelLayout::Assembly>& groups) {
        for (const auto& group : groups) {
            out << kind << " " << group.name << "\n";
            for (const auto& use : group.uses) {
                out << use_kind << " " << use.of;
                placement(use.placement);
                out << " " << use.name << "\n";
            }
        }
    };
    assemblies("station", "use", layout.stations);
    assemblies("line", "place", layout.lines);
    for (const auto& t : layout.line_placements) {
        out << "root";
        placement(t);
        out << "\n";
    }
    if (!out.flush()) throw std::runtime_error("Unable to write the layout in '" + dir + "'");
}

}  // namespace velmora::examples
