#include "occt_state.h"

#include <ostream>

#include <BRepGProp.hxx>
#include <BRep_Tool.hxx>
#include <GProp_GProps.hxx>
#include <Poly_PolygonOnTriangulation.hxx>
#include <Poly_Triangulation.hxx>
#include <TopExp.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Vertex.hxx>
#include <cmath>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Face.hxx>

#include "occt_mesh.h"

namespace velmora::occt {

void ModelState::note(const std::string& what) const
{
    if (options.log) *options.log << "host: " << what << std::endl;
}

bool ModelState::note_selection(bool selected, const char* kind, const std::string& name, const std::string& key)
{
    note(std::string(selected ? "select " : "deselect ") + kind + " " + name);
    display.select(key, selected);
    return true;
}

void DisplayState::select(const std::string& key, bool selected)
{
    if (selected)
        selection_.insert(key);
    else
        selection_.erase(key);
}

void DisplayState::redraw()
{
    std::function<void()> listener;
    {
        std::lock_guard lock(mutex_);
        shown_ = selection_;
        listener = listener_;
    }
    if (listener) listener();
}

std::set<std::string> DisplayState::shown() const
{
    std::lock_guard lock(mutex_);
    return shown_;
}

void DisplayState::set_listener(std::function<void()> listener)
{
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

void ModelState::mesh_all()
{
    std::vector<TopoDS_Shape> shapes;
    for (const auto& part : model.parts) shapes.push_back(part.shape);
    const auto& progress = options.progress;
    if (progress) progress("meshing", 0.0);
    std::function<void(double)> meshed;
    if (progress) meshed = [&progress](double fraction) { progress("meshing", fraction); };
    mesh_parts(shapes, options.mesh_threads, deflection_of(options.quality), meshed);
    meshed_.assign(model.parts.size(), true);
    if (progress) progress("meshing", 1.0);
}

void ModelState::ensure_mesh(int part)
{
    if (meshed_.size() != model.parts.size()) meshed_.assign(model.parts.size(), false);
    if (meshed_[static_cast<std::size_t>(part)]) return;
    mesh_part(model.parts[static_cast<std::size_t>(part)].shape, deflection_of(options.quality));
    meshed_[static_cast<std::size_t>(part)] = true;
}

namespace {

// A face's nodes on its edges take the position the same edge's node had on
// the first face that held it. Where a model's faces carry locations of their
// own, an edge is placed through a differently composed matrix on each of its
// faces, and its nodes would differ in the last bits; the export merges
// vertices exactly, so they would leave a crack.
class SharedEdgeNodes {
public:
    void unify(const TopoDS_Face& face, const Handle(Poly_Triangulation) & tri, std::array<double, 3>* nodes)
    {
        for (TopExp_Explorer e(face, TopAbs_EDGE); e.More(); e.Next()) {
            const TopoDS_Edge& edge = TopoDS::Edge(e.Current());
            if (BRep_Tool::Degenerated(edge)) continue;
            // A seam has a polygon for each of its sides.
            Handle(Poly_PolygonOnTriangulation) polygon;
            Handle(Poly_Triangulation) on;
            TopLoc_Location loc;
            for (int i = 1;; ++i) {
                BRep_Tool::PolygonOnTriangulation(edge, polygon, on, loc, i);
                if (polygon.IsNull()) break;
                if (on != tri) continue;
                const int count = polygon->NbNodes();
                const double tolerance = 2.0 * BRep_Tool::Tolerance(edge);
                for (int k = 1; k <= count; ++k) {
                    // The ends are the edge's vertices, shared with other edges.
                    const TopoDS_TShape* owner = edge.TShape().get();
                    int index = k;
                    if (k == 1 || k == count) {
                        owner = (k == 1 ? TopExp::FirstVertex(edge) : TopExp::LastVertex(edge)).TShape().get();
                        index = 0;
                    }
                    std::array<double, 3>& node = nodes[polygon->Node(k) - 1];
                    const auto [it, first] = positions_.try_emplace(Key{owner, index, index ? count : 0}, node);
                    // The same edge placed elsewhere in the solid keeps its own nodes.
                    if (!first && distance(it->second, node) <= tolerance) node = it->second;
                }
            }
        }
    }

private:
    struct Key {
        const TopoDS_TShape* owner;
        int index, count;
        bool operator<(const Key& o) const { return std::tie(owner, index, count) < std::tie(o.owner, o.index, o.count); }
    };
    static double distance(const std::array<double, 3>& a, const std::array<double, 3>& b)
    {
        return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
    }
    std::map<Key, std::array<double, 3>> positions_;
};

}  // namespace

const SolidMesh& ModelState::solid_mesh(int part, int solid)
{
    auto& slot = solid_meshes_[{part, solid}];
    if (slot) return *slot;
    ensure_mesh(part);
    auto mesh = std::make_shared<SolidMesh>();
    const TopoDS_Shape& shape = model.parts[static_cast<std::size_t>(part)].solids[static_cast<std::size_t>(solid)];
    SharedEdgeNodes shared;
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
        shared.unify(face, tri, points.data() + base);
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

const cad::MassPropertiesResult& ModelState::mass_properties(int part, int solid, double density)
{
    auto [it, fresh] = mass_properties_.try_emplace({part, solid, density});
    if (!fresh) return it->second;
    const TopoDS_Shape& shape = model.parts[static_cast<std::size_t>(part)].solids[static_cast<std::size_t>(solid)];
    GProp_GProps volume, surface;
    BRepGProp::VolumeProperties(shape, volume);
    BRepGProp::SurfaceProperties(shape, surface);
    if (!(volume.Mass() > 0)) {
        it->second = {1, {}};
        return it->second;
    }
    const gp_Pnt c = volume.CentreOfMass();
    const gp_Mat m = volume.MatrixOfInertia();
    // The matrix's off-diagonal entries are the tensor's (minus the products).
    it->second = {0,
                  {c.X(), c.Y(), c.Z(), volume.Mass(), surface.Mass(), volume.Mass() * density, m(1, 1) * density,
                   m(2, 2) * density, m(3, 3) * density, m(1, 2) * density, m(1, 3) * density, m(2, 3) * density}};
    return it->second;
}

}  // namespace velmora::occt
