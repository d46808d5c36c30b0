#include "edge_case_models.h"

#include <cmath>
#include <filesystem>

#include <BRepAlgoAPI_Cut.hxx>
#include <BRepAlgoAPI_Fuse.hxx>
#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakeVertex.hxx>
#include <BRepBuilderAPI_MakeWire.hxx>
#include <BRepLib.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRepPrimAPI_MakePrism.hxx>
#include <BRepPrimAPI_MakeSphere.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <GC_MakeArcOfCircle.hxx>
#include <Geom2dAPI_PointsToBSpline.hxx>
#include <Geom2d_BSplineCurve.hxx>
#include <Geom2d_Line.hxx>
#include <Geom_BSplineSurface.hxx>
#include <ShapeFix_Face.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColgp_Array1OfPnt2d.hxx>
#include <TColgp_Array2OfPnt.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <TopoDS_Shell.hxx>
#include <TopoDS_Solid.hxx>

#include "xde_builder.h"

namespace velmora::examples {

TopoDS_Shape block_with_a_hole()
{
    return BRepAlgoAPI_Cut(BRepPrimAPI_MakeBox(40.0, 30.0, 20.0).Shape(),
                           BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(20, 15, -1), gp::DZ()), 7.0, 22.0).Shape())
        .Shape();
}

TopoDS_Shape with_located_faces(const TopoDS_Shape& shape)
{
    BRep_Builder builder;
    TopoDS_Shell shell;
    builder.MakeShell(shell);
    double angle = 0.3;
    for (TopExp_Explorer e(TopExp_Explorer(shape, TopAbs_SOLID).Current(), TopAbs_FACE); e.More(); e.Next(), angle += 0.7) {
        const TopoDS_Face& face = TopoDS::Face(e.Current());
        const gp_Ax1 axis(gp_Pnt(1, 2, 3), gp_Dir(1, 2, 3 + angle));
        gp_Trsf there, back;
        there.SetRotation(axis, angle);
        back.SetRotation(axis, -angle);
        const TopLoc_Location place = TopLoc_Location(there) * TopLoc_Location(back);
        TopoDS_Face inner;
        builder.MakeFace(inner, BRep_Tool::Surface(face), place.Inverted(), BRep_Tool::Tolerance(face));
        for (TopExp_Explorer w(face.Oriented(TopAbs_FORWARD), TopAbs_WIRE); w.More(); w.Next())
            builder.Add(inner, w.Current().Moved(place.Inverted()));
        builder.Add(shell, inner.Moved(place).Oriented(face.Orientation()));
    }
    TopoDS_Solid solid;
    builder.MakeSolid(solid);
    builder.Add(solid, shell);
    return solid;
}

TopoDS_Shape box_with_a_sphere()
{
    return BRepAlgoAPI_Fuse(BRepPrimAPI_MakeBox(40.0, 30.0, 20.0).Shape(),
                            BRepPrimAPI_MakeSphere(gp_Ax2(gp_Pnt(20, 15, 20), gp::DX()), 8.0).Shape())
        .Shape();
}

TopoDS_Shape blade_trimmed_outside_its_surface()
{
    TColgp_Array2OfPnt poles(1, 15, 1, 6);
    for (int i = 1; i <= 15; ++i)
        for (int j = 1; j <= 6; ++j) {
            const double u = (i - 1) / 14.0, v = (j - 1) / 5.0, r = 10 + 20 * u, a = 0.2 * u + 0.6 * v * (1 - 0.5 * u);
            poles(i, j) = gp_Pnt(r * std::cos(a), r * std::sin(a), 4 * v + 6 * std::sin(6 * u) * v);
        }
    TColStd_Array1OfReal u_knots(1, 5), v_knots(1, 2);
    TColStd_Array1OfInteger u_mults(1, 5), v_mults(1, 2);
    for (int k = 1; k <= 5; ++k) u_knots(k) = 25.0 * (k - 1) / 4, u_mults(k) = k == 1 || k == 5 ? 6 : 3;
    v_knots(1) = 0, v_knots(2) = 1, v_mults(1) = v_mults(2) = 6;
    Handle(Geom_BSplineSurface) surface = new Geom_BSplineSurface(poles, u_knots, v_knots, u_mults, v_mults, 5, 5);
    auto edge = [&](const Handle(Geom2d_Curve)& curve, double from, double to) {
        return BRepBuilderAPI_MakeEdge(curve, surface, from, to).Edge();
    };
    auto line = [&](gp_Pnt2d a, gp_Pnt2d b) { return edge(new Geom2d_Line(a, gp_Dir2d(gp_Vec2d(a, b))), 0, a.Distance(b)); };
    TColgp_Array1OfPnt2d lower(1, 9);
    for (int i = 1; i <= 9; ++i) {
        const double t = (i - 1) / 8.0;
        lower(i) = gp_Pnt2d(25 * t, i == 1 || i == 9 ? 0.0 : -3e-5 * std::sin(M_PI * t));
    }
    const Handle(Geom2d_BSplineCurve) dipping = Geom2dAPI_PointsToBSpline(lower, 3, 8, GeomAbs_C2, 1e-9).Curve();
    BRepBuilderAPI_MakeWire wire(edge(dipping, dipping->FirstParameter(), dipping->LastParameter()),
                                       line({25, 0}, {25, 1}), line({25, 1}, {0, 1}), line({0, 1}, {0, 0}));
    TopoDS_Face face = BRepBuilderAPI_MakeFace(surface, wire.Wire(), true).Face();
    BRepLib::BuildCurves3d(face);
    ShapeFix_Face fix(face);
    fix.Perform();
    return BRepPrimAPI_MakePrism(fix.Face(), gp_Vec(0, 0, 5)).Shape();
}

TopoDS_Shape block_with_touching_holes()
{
    const TopoDS_Shape block = BRepPrimAPI_MakeBox(gp_Pnt(-30, -20, 0), 60.0, 40.0, 10.0).Shape();
    const TopoDS_Shape small = BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(-8, 0, -1), gp::DZ()), 8.0, 12.0).Shape();
    const TopoDS_Shape large = BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(12, 0, -1), gp::DZ()), 12.0, 12.0).Shape();
    return BRepAlgoAPI_Cut(BRepAlgoAPI_Cut(block, small).Shape(), large).Shape();
}

TopoDS_Shape boss_with_a_bore_touching_its_side()
{
    const TopoDS_Shape boss = BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(0, 0, 0), gp::DZ()), 20.0, 10.0).Shape();
    const TopoDS_Shape bore = BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(12, 0, -1), gp::DZ()), 8.0, 12.0).Shape();
    return BRepAlgoAPI_Cut(boss, bore).Shape();
}

TopoDS_Shape cube_faces(int count)
{
    TopoDS_Compound faces;
    BRep_Builder builder;
    builder.MakeCompound(faces);
    int n = 0;
    for (TopExp_Explorer e(BRepPrimAPI_MakeBox(10.0, 10.0, 10.0).Shape(), TopAbs_FACE); e.More() && n < count; e.Next(), ++n)
        builder.Add(faces, e.Current());
    return faces;
}

TopoDS_Shape box_without_a_lid()
{
    BRep_Builder builder;
    TopoDS_Shell shell;
    builder.MakeShell(shell);
    int n = 0;
    for (TopExp_Explorer e(BRepPrimAPI_MakeBox(10.0, 10.0, 10.0).Shape(), TopAbs_FACE); e.More(); e.Next())
        if (++n != 6) builder.Add(shell, e.Current());
    TopoDS_Solid solid;
    builder.MakeSolid(solid);
    builder.Add(solid, shell);
    return solid;
}

TopoDS_Shape reference_geometry()
{
    const gp_Pnt p0(0, 0, 50), p1(100, 0, 50), p2(150, 0, 100);
    const TopoDS_Edge line = BRepBuilderAPI_MakeEdge(p0, p1);
    // Drawn from p2 to p1; the wire runs it from p1 to p2.
    const TopoDS_Edge arc = BRepBuilderAPI_MakeEdge(GC_MakeArcOfCircle(p2, gp_Vec(0, 0, -1), p1).Value());
    BRepBuilderAPI_MakeWire wire(line, arc);
    TopoDS_Compound c;
    BRep_Builder b;
    b.MakeCompound(c);
    b.Add(c, BRepPrimAPI_MakeBox(10.0, 10.0, 10.0).Shape());
    b.Add(c, BRepBuilderAPI_MakeVertex(gp_Pnt(1, 2, 3)).Vertex());
    b.Add(c, wire.Wire());
    b.Add(c, BRepBuilderAPI_MakeEdge(gp_Pnt(0, 200, 0), gp_Pnt(0, 300, 0)).Edge());
    return c;
}

void write_edge_case_models(const std::string& dir)
{
    namespace fs = std::filesystem;
    fs::create_directories(dir);
    const fs::path d(dir);
    write_shape(with_located_faces(block_with_a_hole()), (d / "located.brep").string());
    gp_Trsf turn;
    turn.SetRotation(gp_Ax1(gp_Pnt(3, 2, 1), gp_Dir(1, 1, 2)), 0.9);
    const TopoDS_Shape turned = block_with_a_hole().Moved(TopLoc_Location(turn));
    write_shape(turned, (d / "located.step").string());
    write_shape(turned, (d / "located.igs").string());
    write_shape(with_located_faces(box_with_a_sphere()), (d / "poles.brep").string());
    write_shape(blade_trimmed_outside_its_surface(), (d / "blade.brep").string());
    write_shape(block_with_touching_holes(), (d / "touching.brep").string());
    write_shape(boss_with_a_bore_touching_its_side(), (d / "cusp.brep").string());
    write_shape(box_without_a_lid(), (d / "lidless.brep").string());
    write_shape(reference_geometry(), (d / "reference.brep").string());
    write_shape(cube_faces(6), (d / "faces.igs").string());
    write_shape(cube_faces(6), (d / "faces.step").string());
    write_shape(cube_faces(5), (d / "sheet.brep").string());
    TopoDS_Compound curves;
    BRep_Builder builder;
    builder.MakeCompound(curves);
    for (TopExp_Explorer e(reference_geometry(), TopAbs_VERTEX, TopAbs_EDGE); e.More(); e.Next()) builder.Add(curves, e.Current());
    for (TopExp_Explorer e(reference_geometry(), TopAbs_WIRE, TopAbs_FACE); e.More(); e.Next()) builder.Add(curves, e.Current());
    write_shape(curves, (d / "curves.brep").string());
}

}  // namespace velmora::examples
