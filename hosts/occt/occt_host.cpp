// The CAD host roles over an OpenCASCADE model. The roles are small and
// share the model's state, so they live together here.
#include "occt_host.h"

#include <array>
#include <map>
#include <optional>
#include <mutex>
#include <ostream>
#include <tuple>

#include <BRepAdaptor_Curve.hxx>
#include <BRepTools_WireExplorer.hxx>
#include <GCPnts_QuasiUniformDeflection.hxx>
#include <BRepGProp.hxx>
#include <BRep_Tool.hxx>
#include <GProp_GProps.hxx>
#include <Poly_Triangulation.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopExp.hxx>
#include <TopoDS_Face.hxx>
#include <cmath>

#include "addin/cad/host/host.h"
#include "addin/cad/host_text.h"
#include "occt_mesh.h"
#include "occt_model.h"

namespace velmora::occt {
namespace {

using cad::utf8_from_utf16;
using cad::utf16_from_utf8;

cad::ByteArray bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

// A solid's triangles as the host hands them out: the faces' nodes in the
// solid's frame, one list of triangle numbers per face (in face order).
struct SolidMesh {
    std::vector<std::vector<int>> facets;
    std::vector<std::array<int, 3>> triangles;
    std::vector<std::array<double, 3>> points;
};

// What every object of the host shares: the model and the meshes of its parts.
struct ModelState {
    OcctModel model;
    OcctHostOptions options;
    std::vector<bool> meshed;
    // By (part, solid): every occurrence of a part shares its solids' meshes.
    std::map<std::pair<int, int>, std::shared_ptr<const SolidMesh>> solid_meshes;
    // By (part, solid, density): in the part's frame, so the same for every occurrence.
    std::map<std::tuple<int, int, double>, cad::MassPropertiesResult> mass_properties;

    // The host's state changes (selection, redraw, lock), shown with --verbose.
    void note(const std::string& what) const
    {
        if (options.log) *options.log << "host: " << what << std::endl;
    }

    void ensure_mesh(int part)
    {
        if (meshed[static_cast<std::size_t>(part)]) return;
        mesh_part(model.parts[static_cast<std::size_t>(part)].shape);
        meshed[static_cast<std::size_t>(part)] = true;
    }

    const SolidMesh& solid_mesh(int part, int solid);
};

const SolidMesh& ModelState::solid_mesh(int part, int solid)
{
    auto& slot = solid_meshes[{part, solid}];
    if (slot) return *slot;
    ensure_mesh(part);
    auto mesh = std::make_shared<SolidMesh>();
    const TopoDS_Shape& shape = model.parts[static_cast<std::size_t>(part)].solids[static_cast<std::size_t>(solid)];
    for (TopExp_Explorer e(shape, TopAbs_FACE); e.More(); e.Next()) {
        const TopoDS_Face& face = TopoDS::Face(e.Current());
        TopLoc_Location loc;
        const Handle(Poly_Triangulation) tri = BRep_Tool::Triangulation(face, loc);
        auto& ids = mesh->facets.emplace_back();
        if (tri.IsNull()) continue;
        const gp_Trsf trsf = loc.Transformation();
        auto& points = mesh->points;
        const int base = static_cast<int>(points.size());
        for (int n = 1; n <= tri->NbNodes(); ++n) {
            const gp_Pnt p = tri->Node(n).Transformed(trsf);
            points.push_back({p.X(), p.Y(), p.Z()});
        }
        const bool reversed = face.Orientation() == TopAbs_REVERSED;
        for (int t = 1; t <= tri->NbTriangles(); ++t) {
            int a, b, c;
            tri->Triangle(t).Get(a, b, c);
            if (reversed) std::swap(b, c);
            // A triangle that collapses onto a pole (a degenerate edge) has two
            // corners at one position; after merging it would be an edge
            // walked both ways, so it is left out.
            const auto& pa = points[static_cast<std::size_t>(base + a - 1)];
            const auto& pb = points[static_cast<std::size_t>(base + b - 1)];
            const auto& pc = points[static_cast<std::size_t>(base + c - 1)];
            if (pa == pb || pb == pc || pc == pa) continue;
            ids.push_back(static_cast<int>(mesh->triangles.size()));
            mesh->triangles.push_back({base + a - 1, base + b - 1, base + c - 1});
        }
    }
    slot = std::move(mesh);
    return *slot;
}

class OcctObject : public virtual cad::HostObject, public std::enable_shared_from_this<OcctObject> {
public:
    cad::HostObjectPtr as_dispatch() override { return std::dynamic_pointer_cast<cad::HostObject>(shared_from_this()); }
    cad::ByteArray persistent_id;
};

class OcctFace : public OcctObject, public cad::Face {
public:
    TopoDS_Face face;
    const void* owner = nullptr;  // the body the face belongs to
    int index = 0;                // its place in the body's face list
    std::shared_ptr<OcctFace> next;
    std::vector<double> appearance;
    cad::FacePtr get_next_face() override { return next; }
    std::vector<double> get_appearance() override { return appearance; }
};

// Facets are the triangles of each face; fin k of a facet runs from corner k
// to corner k+1.
class OcctTessellation : public OcctObject, public cad::Tessellation {
public:
    OcctTessellation(std::shared_ptr<ModelState> state, int part, int solid, const void* body)
        : state_(std::move(state)), part_(part), solid_(solid), body_(body)
    {
    }
    void set_need_face_facet_map(bool) override {}
    void set_need_vertex_params(bool) override {}
    void set_need_vertex_normal(bool) override {}
    void set_improve_quality(bool) override {}
    bool tessellate() override
    {
        mesh_ = &state_->solid_mesh(part_, solid_);
        return true;
    }
    int get_facet_count(const cad::FacePtr& face) override { return static_cast<int>(facets_of(face).size()); }
    std::vector<int> get_facets(const cad::FacePtr& face) override { return facets_of(face); }
    int get_fin_count(int) override { return 3; }
    std::vector<int> get_fins(int facet) override { return {3 * facet, 3 * facet + 1, 3 * facet + 2}; }
    std::vector<int> get_fin_vertices(int fin) override
    {
        const auto& t = mesh().triangles.at(static_cast<std::size_t>(fin / 3));
        const int k = fin % 3;
        return {t[static_cast<std::size_t>(k)], t[static_cast<std::size_t>((k + 1) % 3)]};
    }
    std::vector<double> get_vertex_point(int v) override
    {
        const auto& p = mesh().points.at(static_cast<std::size_t>(v));
        return {p[0], p[1], p[2]};
    }

private:
    static const SolidMesh& none()
    {
        static const SolidMesh empty;
        return empty;
    }
    const SolidMesh& mesh() const { return mesh_ ? *mesh_ : none(); }
    const std::vector<int>& facets_of(const cad::FacePtr& face) const;
    std::shared_ptr<ModelState> state_;
    int part_, solid_;
    const void* body_;  // whose faces this tessellation answers for
    const SolidMesh* mesh_ = nullptr;
};

const std::vector<int>& OcctTessellation::facets_of(const cad::FacePtr& face) const
{
    static const std::vector<int> none;
    const auto* f = dynamic_cast<const OcctFace*>(face.get());
    if (!f || f->owner != body_) return none;  // a face of another body has no facets here
    const auto& facets = mesh().facets;
    return static_cast<std::size_t>(f->index) < facets.size() ? facets[static_cast<std::size_t>(f->index)] : none;
}

class OcctBody : public OcctObject, public cad::Body {
public:
    std::shared_ptr<ModelState> state;
    int part = 0;
    int solid_index = 0;
    TopoDS_Shape solid;
    std::u16string name;
    bool selected = false;

    cad::BodyPtr as_body() override { return std::dynamic_pointer_cast<cad::Body>(shared_from_this()); }
    std::u16string get_name() override { return name; }
    bool select(bool, const cad::SelectionOptionsPtr&) override
    {
        state->note("select body " + utf8_from_utf16(name));
        return selected = true;
    }
    bool deselect() override
    {
        state->note("deselect body " + utf8_from_utf16(name));
        selected = false;
        return true;
    }
    cad::TessellationPtr get_tessellation(int) override
    {
        return std::make_shared<OcctTessellation>(state, part, solid_index, this);
    }
    cad::FacePtr get_first_face() override { return faces(); }
    cad::MassPropertiesResult get_mass_properties(double density) override
    {
        auto [it, fresh] = state->mass_properties.try_emplace({part, solid_index, density});
        if (fresh) it->second = compute_mass_properties(density);
        return it->second;
    }

private:
    cad::MassPropertiesResult compute_mass_properties(double density) const
    {
        GProp_GProps volume, surface;
        BRepGProp::VolumeProperties(solid, volume);
        BRepGProp::SurfaceProperties(solid, surface);
        if (!(volume.Mass() > 0)) return {1, {}};
        const gp_Pnt c = volume.CentreOfMass();
        const gp_Mat m = volume.MatrixOfInertia();
        // The matrix's off-diagonal entries are the tensor's (minus the products).
        return {0,
                {c.X(), c.Y(), c.Z(), volume.Mass(), surface.Mass(), volume.Mass() * density, m(1, 1) * density,
                 m(2, 2) * density, m(3, 3) * density, m(1, 2) * density, m(1, 3) * density, m(2, 3) * density}};
    }
    std::shared_ptr<OcctFace> faces()
    {
        if (!faces_) {
            std::shared_ptr<OcctFace> last;
            const OcctPart& p = state->model.parts[static_cast<std::size_t>(part)];
            // The face's own colour, else its solid's, else the part's.
            auto colour_of = [&p](const TopoDS_Shape& shape) -> std::optional<Rgb> {
                for (const auto& [sub, rgb] : p.sub_colours)
                    if (sub.IsPartner(shape)) return rgb;
                return std::nullopt;
            };
            std::optional<Rgb> body_colour = colour_of(solid);
            int index = 0;
            if (!body_colour) body_colour = p.colour;
            for (TopExp_Explorer e(solid, TopAbs_FACE); e.More(); e.Next()) {
                auto f = std::make_shared<OcctFace>();
                f->face = TopoDS::Face(e.Current());
                f->owner = this;
                f->index = index++;
                std::optional<Rgb> colour = p.sub_colours.empty() ? std::nullopt : colour_of(f->face);
                if (!colour) colour = body_colour;
                if (colour) f->appearance = {(*colour)[0], (*colour)[1], (*colour)[2]};
                (last ? last->next : faces_) = f;
                last = f;
            }
        }
        return faces_;
    }
    std::shared_ptr<OcctFace> faces_;
};

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

class OcctFeatureObject : public OcctObject, public cad::Feature {
public:
    std::shared_ptr<ModelState> state;
    OcctFeature feature;
    std::shared_ptr<OcctFeatureObject> next;
    bool selected = false;

    cad::FeaturePtr as_feature() override { return std::dynamic_pointer_cast<cad::Feature>(shared_from_this()); }
    std::u16string get_type_name() override
    {
        if (feature.kind == OcctFeature::Point) return u"RefPoint";
        return feature.shape.ShapeType() == TopAbs_WIRE && count_edges() > 1 ? u"CompositeCurve" : u"RefCurve";
    }
    std::u16string get_name() override { return utf16_from_utf8(feature.name); }
    int get_visible() override { return feature.visible ? 1 : 0; }
    cad::FeaturePtr get_next_feature() override { return next; }
    bool select(bool, int) override
    {
        state->note("select feature " + feature.name);
        return selected = true;
    }
    bool deselect() override
    {
        state->note("deselect feature " + feature.name);
        selected = false;
        return true;
    }
    cad::CurveDefinitionPtr get_curve_definition() override
    {
        if (feature.kind != OcctFeature::Curve) return nullptr;
        return std::make_shared<OcctCurveDefinition>(feature.shape);
    }
    cad::PointDefinitionPtr get_point_definition() override
    {
        if (feature.kind != OcctFeature::Point) return nullptr;
        return std::make_shared<OcctPointDefinition>(TopoDS::Vertex(feature.shape));
    }
    std::vector<double> get_appearance(int, int, const std::u16string&) override
    {
        if (!feature.colour) return {};
        return {(*feature.colour)[0], (*feature.colour)[1], (*feature.colour)[2]};
    }

private:
    int count_edges() const
    {
        int n = 0;
        for (TopExp_Explorer e(feature.shape, TopAbs_EDGE); e.More(); e.Next()) ++n;
        return n;
    }
};

// The chain of reference features of one owner, whose place in the file is `path`.
std::shared_ptr<OcctFeatureObject> feature_chain(const std::shared_ptr<ModelState>& state,
                                                 const std::vector<OcctFeature>& features, const std::string& path)
{
    std::shared_ptr<OcctFeatureObject> first, last;
    for (const OcctFeature& f : features) {
        auto object = std::make_shared<OcctFeatureObject>();
        object->state = state;
        object->feature = f;
        object->persistent_id = bytes_of(path + f.id);
        (last ? last->next : first) = object;
        last = object;
    }
    return first;
}

class OcctBodyEnumerator : public OcctObject, public cad::BodyEnumerator {
public:
    explicit OcctBodyEnumerator(std::vector<std::shared_ptr<OcctBody>> bodies) : bodies_(std::move(bodies)) {}
    cad::BodyPtr next() override { return index_ < bodies_.size() ? bodies_[index_++] : nullptr; }

private:
    std::vector<std::shared_ptr<OcctBody>> bodies_;
    std::size_t index_ = 0;
};

class OcctComponent : public OcctObject, public cad::Component {
public:
    std::shared_ptr<ModelState> state;
    std::u16string name;
    std::shared_ptr<OcctFeatureObject> features;
    std::vector<cad::ComponentPtr> children;
    std::vector<std::shared_ptr<OcctBody>> bodies;
    std::vector<double> transform;
    bool selected = false;

    cad::ComponentPtr as_component() override
    {
        return std::dynamic_pointer_cast<cad::Component>(shared_from_this());
    }
    std::u16string get_name() override { return name; }
    int get_child_count() override { return static_cast<int>(children.size()); }
    std::vector<cad::ComponentPtr> get_children() override { return children; }
    cad::BodyEnumeratorPtr enumerate_bodies(int, int) override { return std::make_shared<OcctBodyEnumerator>(bodies); }
    cad::FeaturePtr get_first_feature() override { return features; }
    bool select(bool, const cad::SelectionOptionsPtr&, bool) override
    {
        state->note("select component " + utf8_from_utf16(name));
        return selected = true;
    }
    bool deselect() override
    {
        state->note("deselect component " + utf8_from_utf16(name));
        selected = false;
        return true;
    }
    std::vector<double> get_transform() override { return transform; }
};

class OcctSelectionOptions : public OcctObject, public cad::SelectionOptions {
public:
    void set_mark(int) override {}
};

class OcctSelectionManager : public OcctObject, public cad::SelectionManager {
public:
    cad::SelectionOptionsPtr create_selection_options() override { return std::make_shared<OcctSelectionOptions>(); }
};

class OcctDisplay : public OcctObject, public cad::Display {
public:
    explicit OcctDisplay(std::shared_ptr<ModelState> state) : state_(std::move(state)) {}
    void redraw(const unsigned char*) override { state_->note("redraw"); }

private:
    std::shared_ptr<ModelState> state_;
};

class OcctMassProperty : public OcctObject, public cad::MassProperty {
public:
    explicit OcctMassProperty(double density) : density_(density) {}
    void set_option(bool) override {}
    double get_setting() override { return density_; }

private:
    double density_;
};

class OcctExtension : public OcctObject, public cad::Extension {
public:
    explicit OcctExtension(double density) : density_(density) {}
    cad::ByteArray get_persistent_id_bytes(const cad::HostObjectPtr& o) override
    {
        auto* obj = dynamic_cast<OcctObject*>(o.get());
        return obj ? obj->persistent_id : cad::ByteArray{};
    }
    int get_persistent_id_length(const cad::HostObjectPtr& o) override
    {
        return static_cast<int>(get_persistent_id_bytes(o).size());
    }
    cad::MassPropertyPtr create_mass_property() override { return std::make_shared<OcctMassProperty>(density_); }

private:
    double density_;
};

class OcctConfiguration : public OcctObject, public cad::Configuration {
public:
    cad::ComponentPtr root;
    cad::ComponentPtr get_root_component(int) override { return root; }
    std::u16string get_identifier() override { return u"Default"; }
};

class OcctPartDocument : public OcctObject, public cad::PartDocument {
public:
    std::vector<std::shared_ptr<OcctBody>> bodies;
    std::shared_ptr<OcctFeatureObject> features;
    cad::BodyEnumeratorPtr enumerate_bodies(int, int) override { return std::make_shared<OcctBodyEnumerator>(bodies); }
    cad::FeaturePtr get_first_feature() override { return features; }
};

class OcctDocument : public OcctObject, public cad::Document {
public:
    std::shared_ptr<ModelState> state;
    std::shared_ptr<OcctPartDocument> part;
    std::shared_ptr<OcctConfiguration> configuration = std::make_shared<OcctConfiguration>();
    std::shared_ptr<OcctExtension> extension;
    std::shared_ptr<OcctFeatureObject> features;  // of the root: the part's, or the assembly's own
    int locks = 0;

    int get_document_type() override { return state->model.is_assembly ? kAssembly : kPart; }
    cad::PartDocumentPtr as_part_document() override { return part; }
    cad::ConfigurationPtr get_active_configuration() override { return configuration; }
    cad::FeaturePtr get_first_feature() override { return features; }
    cad::ExtensionPtr get_extension() override { return extension; }
    cad::SelectionManagerPtr get_selection_manager() override { return std::make_shared<OcctSelectionManager>(); }
    cad::DisplayPtr get_display() override { return std::make_shared<OcctDisplay>(state); }
    void lock() override
    {
        ++locks;
        state->note("document locked");
    }
    void unlock() override
    {
        --locks;
        state->note("document unlocked");
    }
};

class OcctArrayReader : public OcctObject, public cad::ArrayReader {
public:
    std::uint8_t read_byte(const cad::ByteArray& a, int i) override { return a.at(static_cast<std::size_t>(i)); }
};

class OcctCommandGroup : public OcctObject, public cad::CommandGroup {
public:
    OcctCommandGroup(std::shared_ptr<ModelState> state, std::u16string title)
        : state_(std::move(state)), title_(std::move(title))
    {
    }
    void set_main_icon_list(const std::vector<std::u16string>& files) override { main_icons_ = files; }
    void set_icon_list(const std::vector<std::u16string>& files) override { icons_ = files; }
    int add_command_item(const std::u16string& name, int, const std::u16string&, const std::u16string&, int,
                         const std::u16string& callback, const std::u16string& enable_method, int user_id,
                         int) override
    {
        commands.push_back({name, callback, enable_method});
        ids.push_back(user_id);
        return static_cast<int>(commands.size()) - 1;
    }
    void set_has_toolbar(bool) override {}
    void set_has_menu(bool) override {}
    bool activate() override
    {
        state_->note("command group \"" + utf8_from_utf16(title_) + "\" with " + std::to_string(commands.size()) +
                     " command(s) and " + std::to_string(icons_.size()) + " icon file(s)");
        return true;
    }
    std::vector<OcctCommand> commands;
    std::vector<int> ids;

private:
    std::shared_ptr<ModelState> state_;
    std::u16string title_;
    std::vector<std::u16string> main_icons_, icons_;
};

// The host keeps a group's command ids while it lives; a new run starts with none.
class OcctCommandManager : public OcctObject, public cad::CommandManager {
public:
    explicit OcctCommandManager(std::shared_ptr<ModelState> state) : state_(std::move(state)) {}
    std::optional<std::vector<int>> get_group_data_from_registry(int user_id) override
    {
        auto it = groups.find(user_id);
        if (it == groups.end()) return std::nullopt;
        return it->second->ids;
    }
    cad::CommandGroupPtr create_command_group(int user_id, const std::u16string& title, const std::u16string&,
                                              const std::u16string&, int, bool) override
    {
        auto group = std::make_shared<OcctCommandGroup>(state_, title);
        groups[user_id] = group;
        return group;
    }
    bool remove_command_group(int user_id) override
    {
        state_->note("command group " + std::to_string(user_id) + " removed");
        return groups.erase(user_id) > 0;
    }
    std::map<int, std::shared_ptr<OcctCommandGroup>> groups;

private:
    std::shared_ptr<ModelState> state_;
};

class OcctApplication : public OcctObject, public cad::Application {
public:
    cad::DocumentPtr document;
    std::shared_ptr<OcctCommandManager> commands;
    cad::DocumentPtr get_active_document() override { return document; }
    cad::ArrayReaderPtr get_array_reader() override { return std::make_shared<OcctArrayReader>(); }
    cad::CommandManagerPtr get_command_manager(int) override { return commands; }
    bool set_addin_callback_info(std::int32_t, cad::HostObjectPtr, int) override { return true; }
    std::u16string get_revision_number() override { return u"31.0.0"; }
};

std::vector<std::shared_ptr<OcctBody>> bodies_of(const std::shared_ptr<ModelState>& state, int part,
                                                 const std::string& path)
{
    std::vector<std::shared_ptr<OcctBody>> out;
    if (part < 0) return out;
    const OcctPart& p = state->model.parts[static_cast<std::size_t>(part)];
    for (std::size_t i = 0; i < p.solids.size(); ++i) {
        auto b = std::make_shared<OcctBody>();
        b->state = state;
        b->part = part;
        b->solid_index = static_cast<int>(i);
        b->solid = p.solids[i];
        b->name = utf16_from_utf8(p.solid_names[i].empty() ? "Body" + std::to_string(i + 1) : p.solid_names[i]);
        b->persistent_id = bytes_of(path + "#s" + std::to_string(i + 1));
        out.push_back(std::move(b));
    }
    return out;
}

std::shared_ptr<OcctComponent> component_of(const std::shared_ptr<ModelState>& state, const OcctOccurrence& occ)
{
    auto c = std::make_shared<OcctComponent>();
    c->state = state;
    c->name = utf16_from_utf8(occ.name);
    c->persistent_id = bytes_of(occ.path);
    const gp_Trsf& t = occ.placement;
    c->transform = {t.Value(1, 1), t.Value(1, 2), t.Value(1, 3), t.Value(2, 1), t.Value(2, 2), t.Value(2, 3),
                    t.Value(3, 1), t.Value(3, 2), t.Value(3, 3), t.Value(1, 4), t.Value(2, 4), t.Value(3, 4),
                    1,             0,             0,             0};
    c->bodies = bodies_of(state, occ.part, occ.path);
    std::vector<OcctFeature> features = occ.features;
    if (occ.part >= 0) {
        const auto& own = state->model.parts[static_cast<std::size_t>(occ.part)].features;
        features.insert(features.begin(), own.begin(), own.end());
    }
    c->features = feature_chain(state, features, occ.path);
    for (const auto& child : occ.children) c->children.push_back(component_of(state, child));
    return c;
}

}  // namespace

cad::ApplicationPtr open_occt_application(const std::string& path, const OcctHostOptions& options)
{
    auto state = std::make_shared<ModelState>();
    state->model = read_model(path, options.progress);
    state->options = options;
    state->meshed.assign(state->model.parts.size(), false);

    auto doc = std::make_shared<OcctDocument>();
    doc->state = state;
    doc->persistent_id = bytes_of("document");
    doc->extension = std::make_shared<OcctExtension>(options.density);
    if (state->model.is_assembly) {
        auto root = component_of(state, state->model.root);
        doc->features = root->features;
        doc->configuration->root = root;
    } else {
        doc->part = std::make_shared<OcctPartDocument>();
        doc->part->persistent_id = bytes_of(state->model.root.path);
        doc->part->bodies = bodies_of(state, state->model.root.part, state->model.root.path);
        doc->part->features = feature_chain(
            state, state->model.parts[static_cast<std::size_t>(state->model.root.part)].features, state->model.root.path);
        doc->features = doc->part->features;
    }
    auto app = std::make_shared<OcctApplication>();
    app->document = doc;
    app->commands = std::make_shared<OcctCommandManager>(state);
    if (options.mesh_on_open) {
        std::vector<TopoDS_Shape> shapes;
        for (const auto& part : state->model.parts) shapes.push_back(part.shape);
        if (options.progress) options.progress("meshing", 0.0);
        std::function<void(double)> meshed;
        if (options.progress) meshed = [&options](double fraction) { options.progress("meshing", fraction); };
        mesh_parts(shapes, options.mesh_threads, meshed);
        state->meshed.assign(state->meshed.size(), true);
        if (options.progress) options.progress("meshing", 1.0);
    }
    return app;
}

std::vector<OcctCommand> occt_commands(const cad::ApplicationPtr& application)
{
    std::vector<OcctCommand> out;
    auto* app = dynamic_cast<OcctApplication*>(application.get());
    if (!app) return out;
    for (const auto& [id, group] : app->commands->groups)
        out.insert(out.end(), group->commands.begin(), group->commands.end());
    return out;
}

}  // namespace velmora::occt
