// The CAD host roles over an OpenCASCADE model. The roles are small and
// share the model's state, so they live together here.
#include "occt_host.h"

#include <map>
#include <mutex>

#include <BRepBndLib.hxx>
#include <BRepGProp.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <GProp_GProps.hxx>
#include <Poly_Triangulation.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Face.hxx>
#include <cmath>

#include "addin/cad/host/host.h"
#include "occt_model.h"

namespace velmora::occt {
namespace {

std::u16string utf16(const std::string& utf8)
{
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        char32_t cp;
        int len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c >> 5) == 6) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c >> 4) == 14) {
            cp = c & 0x0F;
            len = 3;
        } else {
            cp = c & 0x07;
            len = 4;
        }
        for (int k = 1; k < len && i + k < utf8.size(); ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
        i += static_cast<std::size_t>(len);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

cad::ByteArray bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

// What every object of the host shares: the model and the meshes of its parts.
struct ModelState {
    OcctModel model;
    OcctHostOptions options;
    std::vector<bool> meshed;

    void ensure_mesh(int part)
    {
        if (meshed[static_cast<std::size_t>(part)]) return;
        const TopoDS_Shape& shape = model.parts[static_cast<std::size_t>(part)].shape;
        Bnd_Box box;
        BRepBndLib::Add(shape, box);
        const double diagonal = box.IsVoid() ? 1.0 : std::sqrt(box.SquareExtent());
        // A CAD system's standard quality: chord error 0.1% of the part's size, 0.5 rad.
        BRepMesh_IncrementalMesh(shape, 0.001 * diagonal, false, 0.5, false);
        meshed[static_cast<std::size_t>(part)] = true;
    }
};

class OcctObject : public virtual cad::HostObject, public std::enable_shared_from_this<OcctObject> {
public:
    cad::HostObjectPtr as_dispatch() override { return std::dynamic_pointer_cast<cad::HostObject>(shared_from_this()); }
    cad::ByteArray persistent_id;
};

class OcctFace : public OcctObject, public cad::Face {
public:
    TopoDS_Face face;
    std::shared_ptr<OcctFace> next;
    std::vector<double> appearance;
    cad::FacePtr get_next_face() override { return next; }
    std::vector<double> get_appearance() override { return appearance; }
};

// Facets are the triangles of each face; fin k of a facet runs from corner k
// to corner k+1.
class OcctTessellation : public OcctObject, public cad::Tessellation {
public:
    OcctTessellation(std::shared_ptr<ModelState> state, int part, std::shared_ptr<OcctFace> first)
        : state_(std::move(state)), part_(part), first_(std::move(first))
    {
    }
    void set_need_face_facet_map(bool) override {}
    void set_need_vertex_params(bool) override {}
    void set_need_vertex_normal(bool) override {}
    void set_improve_quality(bool) override {}
    bool tessellate() override
    {
        state_->ensure_mesh(part_);
        for (auto f = first_; f; f = f->next) {
            TopLoc_Location loc;
            const Handle(Poly_Triangulation) tri = BRep_Tool::Triangulation(f->face, loc);
            auto& ids = facets_[f.get()];
            if (tri.IsNull()) continue;
            const gp_Trsf trsf = loc.Transformation();
            const int base = static_cast<int>(points_.size());
            for (int n = 1; n <= tri->NbNodes(); ++n) {
                const gp_Pnt p = tri->Node(n).Transformed(trsf);
                points_.push_back({p.X(), p.Y(), p.Z()});
            }
            const bool reversed = f->face.Orientation() == TopAbs_REVERSED;
            for (int t = 1; t <= tri->NbTriangles(); ++t) {
                int a, b, c;
                tri->Triangle(t).Get(a, b, c);
                if (reversed) std::swap(b, c);
                ids.push_back(static_cast<int>(triangles_.size()));
                triangles_.push_back({base + a - 1, base + b - 1, base + c - 1});
            }
        }
        return true;
    }
    int get_facet_count(const cad::FacePtr& face) override { return static_cast<int>(facets_of(face).size()); }
    std::vector<int> get_facets(const cad::FacePtr& face) override { return facets_of(face); }
    int get_fin_count(int) override { return 3; }
    std::vector<int> get_fins(int facet) override { return {3 * facet, 3 * facet + 1, 3 * facet + 2}; }
    std::vector<int> get_fin_vertices(int fin) override
    {
        const auto& t = triangles_.at(static_cast<std::size_t>(fin / 3));
        const int k = fin % 3;
        return {t[static_cast<std::size_t>(k)], t[static_cast<std::size_t>((k + 1) % 3)]};
    }
    std::vector<double> get_vertex_point(int v) override
    {
        const auto& p = points_.at(static_cast<std::size_t>(v));
        return {p[0], p[1], p[2]};
    }

private:
    std::vector<int> facets_of(const cad::FacePtr& face)
    {
        auto it = facets_.find(face.get());
        return it == facets_.end() ? std::vector<int>{} : it->second;
    }
    std::shared_ptr<ModelState> state_;
    int part_;
    std::shared_ptr<OcctFace> first_;
    std::map<const cad::Face*, std::vector<int>> facets_;
    std::vector<std::array<int, 3>> triangles_;
    std::vector<std::array<double, 3>> points_;
};

class OcctBody : public OcctObject, public cad::Body {
public:
    std::shared_ptr<ModelState> state;
    int part = 0;
    TopoDS_Shape solid;
    std::u16string name;
    bool selected = false;

    cad::BodyPtr as_body() override { return std::dynamic_pointer_cast<cad::Body>(shared_from_this()); }
    std::u16string get_name() override { return name; }
    bool select(bool, const cad::SelectionOptionsPtr&) override { return selected = true; }
    bool deselect() override
    {
        selected = false;
        return true;
    }
    cad::TessellationPtr get_tessellation(int) override
    {
        return std::make_shared<OcctTessellation>(state, part, faces());
    }
    cad::FacePtr get_first_face() override { return faces(); }
    cad::MassPropertiesResult get_mass_properties(double density) override
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

private:
    std::shared_ptr<OcctFace> faces()
    {
        if (!faces_) {
            std::shared_ptr<OcctFace> last;
            const auto& colour = state->model.parts[static_cast<std::size_t>(part)].colour;
            for (TopExp_Explorer e(solid, TopAbs_FACE); e.More(); e.Next()) {
                auto f = std::make_shared<OcctFace>();
                f->face = TopoDS::Face(e.Current());
                if (colour) f->appearance = {(*colour)[0], (*colour)[1], (*colour)[2]};
                (last ? last->next : faces_) = f;
                last = f;
            }
        }
        return faces_;
    }
    std::shared_ptr<OcctFace> faces_;
};

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
    std::u16string name;
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
    cad::FeaturePtr get_first_feature() override { return nullptr; }
    bool select(bool, const cad::SelectionOptionsPtr&, bool) override { return selected = true; }
    bool deselect() override
    {
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
    void redraw(const unsigned char*) override {}
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
    cad::BodyEnumeratorPtr enumerate_bodies(int, int) override { return std::make_shared<OcctBodyEnumerator>(bodies); }
    cad::FeaturePtr get_first_feature() override { return nullptr; }
};

class OcctDocument : public OcctObject, public cad::Document {
public:
    std::shared_ptr<ModelState> state;
    std::shared_ptr<OcctPartDocument> part;
    std::shared_ptr<OcctConfiguration> configuration = std::make_shared<OcctConfiguration>();
    std::shared_ptr<OcctExtension> extension;
    int locks = 0;

    int get_document_type() override { return state->model.is_assembly ? kAssembly : kPart; }
    cad::PartDocumentPtr as_part_document() override { return part; }
    cad::ConfigurationPtr get_active_configuration() override { return configuration; }
    cad::FeaturePtr get_first_feature() override { return nullptr; }
    cad::ExtensionPtr get_extension() override { return extension; }
    cad::SelectionManagerPtr get_selection_manager() override { return std::make_shared<OcctSelectionManager>(); }
    cad::DisplayPtr get_display() override { return std::make_shared<OcctDisplay>(); }
    void lock() override { ++locks; }
    void unlock() override { --locks; }
};

class OcctArrayReader : public OcctObject, public cad::ArrayReader {
public:
    std::uint8_t read_byte(const cad::ByteArray& a, int i) override { return a.at(static_cast<std::size_t>(i)); }
};

class OcctApplication : public OcctObject, public cad::Application {
public:
    cad::DocumentPtr document;
    cad::DocumentPtr get_active_document() override { return document; }
    cad::ArrayReaderPtr get_array_reader() override { return std::make_shared<OcctArrayReader>(); }
    cad::CommandManagerPtr get_command_manager(int) override { return nullptr; }
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
        b->solid = p.solids[i];
        b->name = utf16(p.solid_names[i].empty() ? "Body" + std::to_string(i + 1) : p.solid_names[i]);
        b->persistent_id = bytes_of(path + "#s" + std::to_string(i + 1));
        out.push_back(std::move(b));
    }
    return out;
}

std::shared_ptr<OcctComponent> component_of(const std::shared_ptr<ModelState>& state, const OcctOccurrence& occ)
{
    auto c = std::make_shared<OcctComponent>();
    c->name = utf16(occ.name);
    c->persistent_id = bytes_of(occ.path);
    const gp_Trsf& t = occ.placement;
    c->transform = {t.Value(1, 1), t.Value(1, 2), t.Value(1, 3), t.Value(2, 1), t.Value(2, 2), t.Value(2, 3),
                    t.Value(3, 1), t.Value(3, 2), t.Value(3, 3), t.Value(1, 4), t.Value(2, 4), t.Value(3, 4),
                    1,             0,             0,             0};
    c->bodies = bodies_of(state, occ.part, occ.path);
    for (const auto& child : occ.children) c->children.push_back(component_of(state, child));
    return c;
}

}  // namespace

cad::ApplicationPtr open_occt_application(const std::string& path, const OcctHostOptions& options)
{
    auto state = std::make_shared<ModelState>();
    state->model = read_model(path);
    state->options = options;
    state->meshed.assign(state->model.parts.size(), false);

    auto doc = std::make_shared<OcctDocument>();
    doc->state = state;
    doc->persistent_id = bytes_of("document");
    doc->extension = std::make_shared<OcctExtension>(options.density);
    if (state->model.is_assembly) {
        doc->configuration->root = component_of(state, state->model.root);
    } else {
        doc->part = std::make_shared<OcctPartDocument>();
        doc->part->persistent_id = bytes_of(state->model.root.path);
        doc->part->bodies = bodies_of(state, state->model.root.part, state->model.root.path);
    }
    auto app = std::make_shared<OcctApplication>();
    app->document = doc;
    return app;
}

}  // namespace velmora::occt
