#include "occt_surfaces.h"

#include <algorithm>
#include <cmath>

#include <BRepBndLib.hxx>
#include <BRepBuilderAPI_MakeSolid.hxx>
#include <BRepBuilderAPI_Sewing.hxx>
#include <BRepLib.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Shell.hxx>
#include <TopoDS_Solid.hxx>

#include "occt_solid_mesh.h"

namespace velmora::occt {
namespace {

std::vector<TopoDS_Shape> free_faces(const TopoDS_Shape& shape)
{
    std::vector<TopoDS_Shape> out;
    for (TopExp_Explorer e(shape, TopAbs_FACE, TopAbs_SOLID); e.More(); e.Next()) out.push_back(e.Current());
    return out;
}

struct Sewn {
    std::vector<TopoDS_Shape> solids;
    std::size_t left_out = 0;  // faces in no closed shell
};

// The faces sewn, each closed shell made a solid facing outwards.
Sewn sew(const std::vector<TopoDS_Shape>& faces)
{
    double tolerance = 0;
    int edges = 0;
    Bnd_Box box;
    for (const auto& f : faces) {
        BRepBndLib::Add(f, box);
        for (TopExp_Explorer e(f, TopAbs_EDGE); e.More(); e.Next(), ++edges) tolerance += BRep_Tool::Tolerance(TopoDS::Edge(e.Current()));
    }
    tolerance = std::max(edges ? tolerance / edges : 0.0, 1e-7);
    // Beyond a thousandth of the size, sewing joins what is apart.
    const double largest = box.IsVoid() ? tolerance : 1e-3 * std::sqrt(box.SquareExtent());
    Sewn best;
    best.left_out = faces.size() + 1;
    // Ten times the edges' own tolerance closes what most writers leave
    // open; sewing a large model takes seconds, so that is tried first.
    for (const double times : {10.0, 1.0, 100.0}) {
        if (times * tolerance > largest && times > 1) continue;
        BRepBuilderAPI_Sewing sewing(times * tolerance);
        for (const auto& f : faces) sewing.Add(f);
        sewing.Perform();
        Sewn sewn;
        std::size_t in_solids = 0;
        for (TopExp_Explorer e(sewing.SewedShape(), TopAbs_SHELL); e.More(); e.Next()) {
            if (!brep_closed(e.Current())) continue;
            BRepBuilderAPI_MakeSolid make(TopoDS::Shell(e.Current()));
            if (!make.IsDone()) continue;
            TopoDS_Solid solid = make.Solid();
            BRepLib::OrientClosedSolid(solid);
            sewn.solids.push_back(solid);
            for (TopExp_Explorer f(solid, TopAbs_FACE); f.More(); f.Next()) ++in_solids;
        }
        sewn.left_out = faces.size() - std::min(in_solids, faces.size());
        if (sewn.left_out < best.left_out) best = std::move(sewn);
        if (best.left_out == 0) break;
    }
    return best;
}

TopoDS_Compound compound_of(const std::vector<TopoDS_Shape>& shapes)
{
    TopoDS_Compound out;
    BRep_Builder builder;
    builder.MakeCompound(out);
    for (const auto& s : shapes) builder.Add(out, s);
    return out;
}

void add_solids(OcctPart& part, const std::vector<TopoDS_Shape>& solids)
{
    part.solids.insert(part.solids.end(), solids.begin(), solids.end());
    part.solid_names.resize(part.solids.size());
    part.solid_visible.resize(part.solids.size(), true);
    // The part is meshed as its shape: its solids, the free faces gone.
    part.shape = compound_of(part.solids);
}

std::string faces_text(std::size_t n) { return std::to_string(n) + (n == 1 ? " face" : " faces"); }

}  // namespace

void close_surfaces(OcctModel& model, const std::string& name, const std::function<void(const std::string&)>& warn)
{
    auto say = [&](const std::string& what) {
        if (warn) warn(what);
    };
    std::vector<int> uses(model.parts.size(), 0);
    std::function<void(const OcctOccurrence&)> count = [&](const OcctOccurrence& o) {
        if (o.part >= 0) ++uses[static_cast<std::size_t>(o.part)];
        for (const auto& c : o.children) count(c);
    };
    count(model.root);
    // The flat file's parts of faces only, each placed once at the top.
    auto only_faces = [&](const OcctOccurrence& o) {
        if (o.part < 0 || !o.children.empty() || uses[static_cast<std::size_t>(o.part)] != 1) return false;
        const OcctPart& p = model.parts[static_cast<std::size_t>(o.part)];
        return p.solids.empty() && p.features.empty() && !free_faces(p.shape).empty();
    };
    const auto pooled = std::count_if(model.root.children.begin(), model.root.children.end(), only_faces);
    std::vector<bool> sewn_alone(model.parts.size(), false);
    if (pooled >= 2) {
        std::vector<TopoDS_Shape> faces;
        std::vector<OcctOccurrence> kept;
        for (auto& child : model.root.children) {
            if (!only_faces(child)) {
                kept.push_back(std::move(child));
                continue;
            }
            OcctPart& part = model.parts[static_cast<std::size_t>(child.part)];
            sewn_alone[static_cast<std::size_t>(child.part)] = true;
            for (const auto& f : free_faces(part.shape)) faces.push_back(f.Moved(TopLoc_Location(child.placement)));
            part.shape.Nullify();  // nothing of it is left to mesh
        }
        model.root.children = std::move(kept);
        Sewn sewn = sew(faces);
        if (sewn.left_out) say(faces_text(sewn.left_out) + " of '" + name + "' were left out: they close no volume, and the export takes solids");
        if (!sewn.solids.empty()) {
            OcctPart part;
            part.name = name;
            add_solids(part, sewn.solids);
            model.parts.push_back(std::move(part));
            OcctOccurrence occurrence;
            occurrence.name = name + "-1";
            occurrence.path = model.root.path + "/sewn";
            occurrence.part = static_cast<int>(model.parts.size()) - 1;
            occurrence.placement = model.root.placement;
            model.root.children.push_back(std::move(occurrence));
            say(faces_text(faces.size() - sewn.left_out) + " of '" + name + "' close into " + std::to_string(sewn.solids.size()) +
                (sewn.solids.size() == 1 ? " solid" : " solids"));
        }
    }
    for (std::size_t p = 0; p < model.parts.size(); ++p) {
        OcctPart& part = model.parts[p];
        const std::vector<TopoDS_Shape> faces = sewn_alone[p] ? std::vector<TopoDS_Shape>{} : free_faces(part.shape);
        if (faces.empty()) continue;
        Sewn sewn = sew(faces);
        if (!sewn.solids.empty()) {
            add_solids(part, sewn.solids);
            say(faces_text(faces.size() - sewn.left_out) + " of part '" + part.name + "' close into " +
                std::to_string(sewn.solids.size()) + (sewn.solids.size() == 1 ? " solid" : " solids"));
        }
        if (sewn.left_out)
            say(faces_text(sewn.left_out) + " of part '" + part.name + "' were left out: they close no volume, and the export takes solids");
    }
    const bool solids = std::any_of(model.parts.begin(), model.parts.end(), [](const OcctPart& p) { return !p.solids.empty(); });
    bool elements = std::any_of(model.parts.begin(), model.parts.end(), [](const OcctPart& p) { return !p.features.empty(); });
    std::function<void(const OcctOccurrence&)> look = [&](const OcctOccurrence& o) {
        elements = elements || !o.features.empty();
        for (const auto& c : o.children) look(c);
    };
    look(model.root);
    if (!solids)
        say(elements ? "the model holds no solid: only its curves and points are exported"
                     : "the model holds no solid, curve or point: there is nothing to export");
}

}  // namespace velmora::occt
