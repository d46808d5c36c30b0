#include "occt_feature.h"

#include <BRepAdaptor_Curve.hxx>
#include <BRepTools_WireExplorer.hxx>
#include <BRep_Tool.hxx>
#include <GCPnts_QuasiUniformDeflection.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>

#include "host_interface/host_text.h"

namespace velmora::occt {
namespace {

// An edge of a reference curve; samples run from the segment's start to its end.
class OcctCurve : public OcctObject, public cad::Curve {
public:
    explicit OcctCurve(TopoDS_Edge edge) : edge_(std::move(edge)) {}
    int get_sample_count(const double start[3], const double end[3], double chord, double length) override
    {
        return static_cast<int>(get_samples(start, end, chord, length).size() / 3);
    }
    std::vector<double> get_samples(const double start[3], const double[3], double chord, double) override
    {
        std::vector<double> out;
        if (BRep_Tool::Degenerated(edge_)) return out;
        BRepAdaptor_Curve curve(edge_);
        // The add-in asks for 1e-6 m; anything not positive falls back to that.
        const double deflection = chord > 0 ? chord : 1e-6;
        GCPnts_QuasiUniformDeflection sampler(curve, deflection, curve.FirstParameter(), curve.LastParameter());
        if (!sampler.IsDone()) {
            for (const double u : {curve.FirstParameter(), curve.LastParameter()}) {
                const gp_Pnt p = curve.Value(u);
                out.insert(out.end(), {p.X(), p.Y(), p.Z()});
            }
        } else {
            for (int i = 1; i <= sampler.NbPoints(); ++i) {
                const gp_Pnt p = sampler.Value(i);
                out.insert(out.end(), {p.X(), p.Y(), p.Z()});
            }
        }
        // Points in the direction the segment runs.
        const std::size_t n = out.size() / 3;
        if (n > 1) {
            const gp_Pnt s(start[0], start[1], start[2]);
            const double to_first = s.SquareDistance(gp_Pnt(out[0], out[1], out[2]));
            const double to_last = s.SquareDistance(gp_Pnt(out[3 * n - 3], out[3 * n - 2], out[3 * n - 1]));
            if (to_last < to_first)
                for (std::size_t i = 0; i < n / 2; ++i)
                    for (std::size_t k = 0; k < 3; ++k) std::swap(out[3 * i + k], out[3 * (n - 1 - i) + k]);
        }
        return out;
    }

private:
    TopoDS_Edge edge_;
};

class OcctCurveSegment : public OcctObject, public cad::CurveSegment {
public:
    explicit OcctCurveSegment(const TopoDS_Edge& edge) : curve_(std::make_shared<OcctCurve>(edge))
    {
        // Start and end as the edge runs in its wire; then its parameter range.
        const gp_Pnt a = BRep_Tool::Pnt(TopExp::FirstVertex(edge, true));
        const gp_Pnt b = BRep_Tool::Pnt(TopExp::LastVertex(edge, true));
        double u1 = 0, u2 = 0;
        BRep_Tool::Range(edge, u1, u2);
        params_ = {a.X(), a.Y(), a.Z(), b.X(), b.Y(), b.Z(), u1, u2, 0, 0, 0};
    }
    cad::CurvePtr get_curve() override { return curve_; }
    std::vector<double> get_curve_params() override { return params_; }

private:
    std::shared_ptr<OcctCurve> curve_;
    std::vector<double> params_;
};

class OcctCurveDefinition : public OcctObject, public cad::CurveDefinition {
public:
    explicit OcctCurveDefinition(const TopoDS_Shape& shape)
    {
        if (shape.ShapeType() == TopAbs_WIRE) {
            for (BRepTools_WireExplorer e(TopoDS::Wire(shape)); e.More(); e.Next())
                segments_.push_back(std::make_shared<OcctCurveSegment>(e.Current()));
            // A wire the explorer cannot order (not connected) still has its edges.
            if (segments_.empty())
                for (TopExp_Explorer e(shape, TopAbs_EDGE); e.More(); e.Next())
                    segments_.push_back(std::make_shared<OcctCurveSegment>(TopoDS::Edge(e.Current())));
        } else {
            segments_.push_back(std::make_shared<OcctCurveSegment>(TopoDS::Edge(shape)));
        }
    }
    int get_segment_count() override { return static_cast<int>(segments_.size()); }
    std::vector<cad::CurveSegmentPtr> get_segments() override { return {segments_.begin(), segments_.end()}; }

private:
    std::vector<std::shared_ptr<OcctCurveSegment>> segments_;
};

class OcctPointDefinition : public OcctObject, public cad::PointDefinition {
public:
    explicit OcctPointDefinition(const TopoDS_Vertex& vertex) : point_(BRep_Tool::Pnt(vertex)) {}
    std::vector<double> get_point() override { return {point_.X(), point_.Y(), point_.Z()}; }

private:
    gp_Pnt point_;
};

int edge_count(const TopoDS_Shape& shape)
{
    int n = 0;
    for (TopExp_Explorer e(shape, TopAbs_EDGE); e.More(); e.Next()) ++n;
    return n;
}

}  // namespace

std::u16string OcctFeatureObject::get_type_name()
{
    if (feature.kind == OcctFeature::Point) return u"RefPoint";
    return feature.shape.ShapeType() == TopAbs_WIRE && edge_count(feature.shape) > 1 ? u"CompositeCurve" : u"RefCurve";
}

std::u16string OcctFeatureObject::get_name() { return cad::utf16_from_utf8(feature.name); }

cad::CurveDefinitionPtr OcctFeatureObject::get_curve_definition()
{
    if (feature.kind != OcctFeature::Curve) return nullptr;
    return std::make_shared<OcctCurveDefinition>(feature.shape);
}

cad::PointDefinitionPtr OcctFeatureObject::get_point_definition()
{
    if (feature.kind != OcctFeature::Point) return nullptr;
    return std::make_shared<OcctPointDefinition>(TopoDS::Vertex(feature.shape));
}

std::vector<double> OcctFeatureObject::get_appearance(int, int, const std::u16string&)
{
    if (!feature.colour) return {};
    return {(*feature.colour)[0], (*feature.colour)[1], (*feature.colour)[2]};
}

std::shared_ptr<OcctFeatureObject> feature_chain(const StatePtr& state, const std::vector<OcctFeature>& features,
                                                 const std::string& path)
{
    std::shared_ptr<OcctFeatureObject> first, last;
    for (const OcctFeature& f : features) {
        auto object = std::make_shared<OcctFeatureObject>();
        object->state = state;
        object->feature = f;
        object->persistent_id = bytes_of(feature_key(path, f));
        (last ? last->next : first) = object;
        last = object;
    }
    return first;
}

}  // namespace velmora::occt
