#include "occt_state.h"

#include <ostream>

#include <BRepGProp.hxx>
#include <GProp_GProps.hxx>

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
    {
        std::lock_guard lock(mutex_);
        shown_ = selection_;
    }
    std::lock_guard lock(listener_mutex_);
    if (listener_) listener_();
}

std::set<std::string> DisplayState::shown() const
{
    std::lock_guard lock(mutex_);
    return shown_;
}

void DisplayState::set_listener(std::function<void()> listener)
{
    std::lock_guard lock(listener_mutex_);
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
    const auto solids = mesh_parts(shapes, options.mesh_threads, deflection_of(options.quality), meshed);
    meshed_.assign(model.parts.size(), true);
    for (std::size_t p = 0; p < solids.size(); ++p) keep(static_cast<int>(p), solids[p]);
    if (progress) progress("meshing", 1.0);
}

void ModelState::ensure_mesh(int part)
{
    if (meshed_.size() != model.parts.size()) meshed_.assign(model.parts.size(), false);
    if (meshed_[static_cast<std::size_t>(part)]) return;
    keep(part, mesh_part(model.parts[static_cast<std::size_t>(part)].shape, deflection_of(options.quality)));
    meshed_[static_cast<std::size_t>(part)] = true;
}

void ModelState::keep(int part, const std::vector<MeshedSolid>& solids)
{
    const OcctPart& p = model.parts[static_cast<std::size_t>(part)];
    for (std::size_t s = 0; s < solids.size() && s < p.solids.size(); ++s) {
        solid_meshes_[{part, static_cast<int>(s)}] = solids[s].mesh;
        if (solids[s].volume) volumes_[{part, static_cast<int>(s)}] = solids[s].volume;
        const MeshedSolid& solid = solids[s];
        if (!options.warn || solid.joined.none()) continue;
        const std::string which = "solid '" + solid_name(p, s) + "' of part '" + p.name + "'";
        if (!solid.brep_closed)
            options.warn(which + " is not closed in the file (some of its edges bound a face on one side only), "
                         "so its mesh is open too");
        else if (solid.faults.none())
            options.warn(which + ": its mesh did not close (" + solid.joined.describe() + ") and was repaired (" +
                         solid.repair + ")");
        else
            options.warn(which + " is closed, but its mesh could not be closed: " + solid.faults.describe() +
                         (solid.repair.empty() ? "" : " (after a repair: " + solid.repair + ")"));
    }
}

const SolidMesh& ModelState::solid_mesh(int part, int solid)
{
    ensure_mesh(part);
    static const SolidMesh none;
    const auto found = solid_meshes_.find({part, solid});
    return found != solid_meshes_.end() && found->second ? *found->second : none;
}

const cad::MassPropertiesResult& ModelState::mass_properties(int part, int solid, double density)
{
    auto [it, fresh] = mass_properties_.try_emplace({part, solid, density});
    if (!fresh) return it->second;
    const TopoDS_Shape& shape = model.parts[static_cast<std::size_t>(part)].solids[static_cast<std::size_t>(solid)];
    const auto found = volumes_.find({part, solid});
    const std::shared_ptr<const GProp_GProps> props = found != volumes_.end() ? found->second : volume_properties(shape);
    const GProp_GProps& volume = *props;
    GProp_GProps surface;
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
