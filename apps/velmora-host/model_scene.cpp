#include "model_scene.h"

#include <AIS_ColoredShape.hxx>
#include <AIS_ConnectedInteractive.hxx>
#include <AIS_Shape.hxx>
#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeVertex.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <Graphic3d_AspectFillArea3d.hxx>
#include <Prs3d_LineAspect.hxx>
#include <Prs3d_PointAspect.hxx>
#include <Prs3d_ShadingAspect.hxx>
#include <TopExp_Explorer.hxx>

namespace velmora::host {
namespace {

// Where the file gives no colour.
const Quantity_Color kNeutral(0.72, 0.73, 0.75, Quantity_TOC_RGB);
const Quantity_Color kEdges(0.15, 0.15, 0.17, Quantity_TOC_RGB);
const Quantity_Color kCurves(0.05, 0.15, 0.55, Quantity_TOC_RGB);

Quantity_Color colour(const occt::Rgb& rgb) { return Quantity_Color(rgb[0], rgb[1], rgb[2], Quantity_TOC_RGB); }

std::optional<occt::Rgb> sub_colour(const occt::OcctPart& part, const TopoDS_Shape& shape)
{
    for (const auto& [sub, rgb] : part.sub_colours)
        if (sub.IsPartner(shape)) return rgb;
    return std::nullopt;
}

// A solid in its part's coordinates: the face's own colour, else the
// solid's, else the part's, with its edges drawn.
Handle(AIS_InteractiveObject) solid_presentation(const occt::OcctPart& part, const TopoDS_Shape& solid)
{
    Handle(AIS_ColoredShape) shape = new AIS_ColoredShape(solid);
    std::optional<occt::Rgb> base = sub_colour(part, solid);
    if (!base) base = part.colour;
    shape->SetColor(base ? colour(*base) : kNeutral);
    if (!part.sub_colours.empty())
        for (TopExp_Explorer e(solid, TopAbs_FACE); e.More(); e.Next())
            if (const auto face = sub_colour(part, e.Current())) shape->SetCustomColor(e.Current(), colour(*face));
    const Handle(Prs3d_Drawer)& drawer = shape->Attributes();
    drawer->SetAutoTriangulation(false);  // the host's meshes, never new ones
    drawer->SetFaceBoundaryDraw(true);
    drawer->SetFaceBoundaryAspect(new Prs3d_LineAspect(kEdges, Aspect_TOL_SOLID, 1.0));
    shape->SetDisplayMode(AIS_Shaded);
    return shape;
}

Handle(AIS_InteractiveObject) feature_presentation(const occt::OcctFeature& feature, const gp_Trsf& placement)
{
    Handle(AIS_Shape) shape = new AIS_Shape(feature.shape.Moved(TopLoc_Location(placement)));
    const Quantity_Color c = feature.colour ? colour(*feature.colour) : kCurves;
    shape->SetColor(c);
    shape->SetWidth(2.0);
    shape->Attributes()->SetPointAspect(new Prs3d_PointAspect(Aspect_TOM_BALL, c, 3.0));
    shape->SetDisplayMode(AIS_WireFrame);
    return shape;
}

Handle(Prs3d_Drawer) highlight_style()
{
    Handle(Prs3d_Drawer) style = new Prs3d_Drawer();
    style->SetColor(ModelScene::highlight_colour());
    style->SetMethod(Aspect_TOHM_COLOR);
    style->SetDisplayMode(-1);  // as the object is drawn: shaded solids, lines, markers
    // In a layer over the model, depth-tested against it.
    style->SetZLayer(Graphic3d_ZLayerId_Top);
    style->SetupOwnShadingAspect();
    // Flat, so the whole projected area shows the one colour.
    style->ShadingAspect()->Aspect()->SetShadingModel(Graphic3d_TOSM_UNLIT);
    return style;
}

}  // namespace

void ModelScene::warm_up(const Handle(AIS_InteractiveContext)& context, const Handle(V3d_View)& view)
{
    occt::OcctPart part;
    part.colour = occt::Rgb{0.5, 0.5, 0.5};
    const TopoDS_Shape box = BRepPrimAPI_MakeBox(1.0, 1.0, 1.0).Shape();
    BRepMesh_IncrementalMesh(box, 0.1);
    Handle(AIS_ConnectedInteractive) placed = new AIS_ConnectedInteractive();
    placed->Connect(solid_presentation(part, box), gp_Trsf());
    placed->SetDisplayMode(AIS_Shaded);
    occt::OcctFeature line, point;
    line.shape = BRepBuilderAPI_MakeEdge(gp_Pnt(0, 0, 0), gp_Pnt(1, 1, 1)).Edge();
    point.shape = BRepBuilderAPI_MakeVertex(gp_Pnt(1, 0, 0)).Vertex();
    const Handle(AIS_InteractiveObject) objects[] = {placed, feature_presentation(line, gp_Trsf()),
                                                     feature_presentation(point, gp_Trsf())};
    const Handle(Prs3d_Drawer) style = highlight_style();
    for (const auto& object : objects) {
        context->Display(object, object->DisplayMode(), -1, false);
        context->HilightWithColor(object, style, false);
    }
    view->Redraw();
    for (const auto& object : objects) context->Remove(object, false);
    view->Redraw();
}

ModelScene::ModelScene(const Handle(AIS_InteractiveContext)& context, const occt::OcctModel& model) : context_(context)
{
    highlight_style_ = highlight_style();

    for (const occt::OcctPart& part : model.parts) {
        auto& solids = prototypes_.emplace_back();
        for (const TopoDS_Shape& solid : part.solids) solids.push_back(solid_presentation(part, solid));
    }
    std::vector<std::string> owners;
    add_occurrence(model, model.root, owners);
}

void ModelScene::add_occurrence(const occt::OcctModel& model, const occt::OcctOccurrence& occurrence,
                                std::vector<std::string>& owners)
{
    if (!occurrence.visible) return;  // nor anything below it
    owners.push_back(occurrence.path);
    if (occurrence.part >= 0) {
        const occt::OcctPart& part = model.parts[static_cast<std::size_t>(occurrence.part)];
        for (std::size_t i = 0; i < part.solids.size(); ++i) {
            if (!part.solid_visible[i]) continue;
            Handle(AIS_ConnectedInteractive) placed = new AIS_ConnectedInteractive();
            placed->Connect(prototypes_[static_cast<std::size_t>(occurrence.part)][i], occurrence.placement);
            placed->SetDisplayMode(AIS_Shaded);
            show(placed, owners, occt::body_key(occurrence.path, i));
        }
        for (const occt::OcctFeature& feature : part.features)
            if (feature.visible)
                show(feature_presentation(feature, occurrence.placement), owners, occt::feature_key(occurrence.path, feature));
    }
    for (const occt::OcctFeature& feature : occurrence.features)
        if (feature.visible)
            show(feature_presentation(feature, occurrence.placement), owners, occt::feature_key(occurrence.path, feature));
    for (const occt::OcctOccurrence& child : occurrence.children) add_occurrence(model, child, owners);
    owners.pop_back();
}

void ModelScene::show(const Handle(AIS_InteractiveObject)& object, const std::vector<std::string>& owners,
                      const std::string& key)
{
    // Not selectable: picking in the window is not the add-in's selection.
    context_->Display(object, object->DisplayMode(), -1, false);
    by_key_[key].push_back(object);
    for (const std::string& owner : owners) by_key_[owner].push_back(object);
    ++shown_;
}

void ModelScene::highlight(const std::set<std::string>& keys)
{
    std::set<AIS_InteractiveObject*> wanted;
    std::vector<Handle(AIS_InteractiveObject)> objects;
    for (const std::string& key : keys) {
        auto it = by_key_.find(key);
        if (it == by_key_.end()) continue;
        for (const auto& object : it->second)
            if (wanted.insert(object.get()).second) objects.push_back(object);
    }
    for (auto it = highlighted_.begin(); it != highlighted_.end();) {
        if (wanted.count(it->first)) {
            ++it;
            continue;
        }
        context_->Unhilight(it->second, false);
        it = highlighted_.erase(it);
    }
    for (const auto& object : objects)
        if (highlighted_.emplace(object.get(), object).second) context_->HilightWithColor(object, highlight_style_, false);
}

}  // namespace velmora::host
