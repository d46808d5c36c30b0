#include "sample_model.h"

#include "xde_builder.h"

#include <BRepAlgoAPI_Cut.hxx>
#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeVertex.hxx>
#include <BRepBuilderAPI_MakeWire.hxx>
#include <BRepFilletAPI_MakeFillet.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRep_Builder.hxx>
#include <GC_MakeArcOfCircle.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <gp_Ax2.hxx>
#include <gp_Circ.hxx>

namespace velmora::examples {
namespace {

// All sizes in millimetres, the unit the file is written in.
TopoDS_Shape housing()
{
    TopoDS_Shape block = BRepPrimAPI_MakeBox(120.0, 80.0, 60.0).Shape();
    BRepFilletAPI_MakeFillet fillet(block);
    for (TopExp_Explorer e(block, TopAbs_EDGE); e.More(); e.Next()) fillet.Add(4.0, TopoDS::Edge(e.Current()));
    block = fillet.Shape();
    const TopoDS_Shape bore =
        BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(60.0, -1.0, 30.0), gp_Dir(0, 1, 0)), 12.0, 82.0).Shape();
    return BRepAlgoAPI_Cut(block, bore).Shape();
}

TopoDS_Compound compound(std::initializer_list<TopoDS_Shape> shapes)
{
    TopoDS_Compound out;
    BRep_Builder builder;
    builder.MakeCompound(out);
    for (const auto& s : shapes) builder.Add(out, s);
    return out;
}

TopoDS_Shape box_at(double x, double y, double z, double dx, double dy, double dz)
{
    return BRepPrimAPI_MakeBox(gp_Pnt(x, y, z), dx, dy, dz).Shape();
}

}  // namespace

void write_sample_model(const std::string& path)
{
    XdeBuilder b;

    const TDF_Label housing_part = b.part(housing(), "Housing");
    b.colour(housing_part, 0.62, 0.64, 0.68);
    const TDF_Label shaft = b.part(BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(0, 0, 0), gp_Dir(0, 1, 0)), 8.0, 110.0).Shape(),
                                   "Shaft");
    b.colour(shaft, 0.27, 0.45, 0.70);

    // Two solids; the top face of the foot has its own colour.
    const TopoDS_Shape foot = box_at(0, 0, 0, 60, 40, 8);
    const TopoDS_Shape web = box_at(0, 0, 8, 8, 40, 50);
    const TDF_Label bracket = b.part(compound({foot, web}), "Bracket");
    b.colour(bracket, 0.80, 0.20, 0.15);
    b.sub(bracket, foot, "Foot");
    b.sub(bracket, web, "Web");
    TopoDS_Face foot_top;
    for (TopExp_Explorer e(foot, TopAbs_FACE); e.More(); e.Next()) foot_top = TopoDS::Face(e.Current());
    b.colour(b.sub(bracket, foot_top), 0.95, 0.80, 0.10);

    // Three solids, left unnamed so the host numbers them.
    const TDF_Label clamp = b.part(compound({box_at(0, 0, 0, 30, 20, 10), box_at(0, 0, 10, 30, 6, 20),
                                             BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(15, 20, 5), gp_Dir(0, 1, 0)), 4.0, 12.0)
                                                 .Shape()}),
                                   "Clamp");
    b.colour(clamp, 0.20, 0.65, 0.30);

    // A guide: a rail with two reference points of its own and, placed beside
    // it, a reference curve (a line and an arc) and a hidden construction line.
    // OpenCASCADE writes names, colours and visibility of such elements only
    // per product, and single vertices not even so: the host numbers the points.
    const TopoDS_Shape rail_solid = box_at(0, 0, 0, 150, 12, 12);
    const TDF_Label rail = b.part(compound({rail_solid, BRepBuilderAPI_MakeVertex(gp_Pnt(0, 6, 12)).Vertex(),
                                            BRepBuilderAPI_MakeVertex(gp_Pnt(150, 6, 12)).Vertex()}),
                                  "Rail");
    b.sub(rail, rail_solid, "Rail body");
    b.colour(rail, 0.55, 0.35, 0.60);
    const gp_Pnt p0(0, 6, 20), p1(100, 6, 20), p2(150, 6, 45);
    const TopoDS_Edge straight = BRepBuilderAPI_MakeEdge(p0, p1);
    const TopoDS_Edge arc = BRepBuilderAPI_MakeEdge(GC_MakeArcOfCircle(p1, gp_Vec(1, 0, 0), p2).Value());
    const TDF_Label slider_path = b.part(BRepBuilderAPI_MakeWire(straight, arc).Wire(), "Slider path");
    b.colour(slider_path, 0.10, 0.10, 0.90, XCAFDoc_ColorCurv);
    // A hidden construction line along the rail.
    const TDF_Label centre_line = b.part(BRepBuilderAPI_MakeEdge(gp_Pnt(0, 6, 6), gp_Pnt(150, 6, 6)).Edge(), "Centre line");
    b.colour(centre_line, 0.5, 0.5, 0.5, XCAFDoc_ColorCurv);
    b.hide(centre_line);
    const TDF_Label guide = b.assembly("Guide");
    b.place(guide, rail, at(0, 0, 0));
    b.place(guide, slider_path, at(0, 0, 0));
    b.place(guide, centre_line, at(0, 0, 0));

    // A curve of the assembly itself: a circle round the whole model.
    const TDF_Label boundary =
        b.part(BRepBuilderAPI_MakeWire(BRepBuilderAPI_MakeEdge(gp_Circ(gp_Ax2(gp_Pnt(100, 60, 0), gp_Dir(0, 0, 1)), 220.0)))
                   .Wire(),
               "Boundary");
    b.colour(boundary, 0.90, 0.45, 0.10, XCAFDoc_ColorCurv);

    const TDF_Label gearbox = b.assembly("Gearbox");
    b.place(gearbox, housing_part, at(0, 0, 0));
    b.place(gearbox, shaft, at(30, -15, 30));
    b.place(gearbox, shaft, at(90, -15, 30));

    const TDF_Label root = b.assembly("Sample assembly");
    b.place(root, gearbox, at(0, 0, 0));
    b.place(root, bracket, at(140, 0, 0));
    b.place(root, bracket, at(260, 40, 0, 3.14159265358979323846), "Bracket mirrored");
    b.place(root, clamp, at(0, 100, 0));
    b.place(root, guide, at(0, 140, 0));
    b.place(root, boundary, at(0, 0, 0));
    b.write(path);
}

void write_hidden_parts_model(const std::string& path)
{
    XdeBuilder b;
    const TDF_Label shown = b.part(box_at(0, 0, 0, 40, 40, 40), "Shown box");
    b.colour(shown, 0.3, 0.5, 0.8);
    const TDF_Label hidden = b.part(box_at(0, 0, 0, 40, 40, 40), "Hidden box");
    b.colour(hidden, 0.3, 0.5, 0.8);
    const TDF_Label line = b.part(BRepBuilderAPI_MakeEdge(gp_Pnt(0, 0, 60), gp_Pnt(100, 0, 60)).Edge(), "Shown line");
    b.colour(line, 0.1, 0.1, 0.9, XCAFDoc_ColorCurv);
    const TDF_Label hidden_line =
        b.part(BRepBuilderAPI_MakeEdge(gp_Pnt(0, 0, 80), gp_Pnt(100, 0, 80)).Edge(), "Hidden line");
    b.colour(hidden_line, 0.1, 0.1, 0.9, XCAFDoc_ColorCurv);
    b.hide(hidden_line);
    const TDF_Label root = b.assembly("Shelf");
    b.place(root, shown, at(0, 0, 0));
    b.hide(b.place(root, hidden, at(60, 0, 0)));
    b.place(root, line, at(0, 0, 0));
    b.place(root, hidden_line, at(0, 0, 0));
    b.write(path);
}

}  // namespace velmora::examples
