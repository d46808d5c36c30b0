#pragma once
// What every object of the OpenCASCADE host shares: the model, the options,
// the meshes of its parts and the base of its objects.
#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host_interface/host.h"
#include "occt_host_options.h"
#include "occt_mesh.h"
#include "occt_model.h"

namespace velmora::occt {

// What the host shows: the objects the add-in selected (highlighted), made
// visible on each redraw. The serving thread selects and redraws; a window
// on another thread reads what the last redraw showed and is told of each.
class DisplayState {
public:
    void select(const std::string& key, bool selected);
    // Shows the selection as it is now and tells the listener.
    void redraw();
    std::set<std::string> shown() const;
    // Once it returns, the listener before is not running and is never called again.
    void set_listener(std::function<void()> listener);

private:
    std::set<std::string> selection_;  // the serving thread's own
    mutable std::mutex mutex_;
    std::set<std::string> shown_;
    // Held while the listener is told, so that once set_listener returns
    // the old one is neither running nor called again.
    std::mutex listener_mutex_;
    std::function<void()> listener_;
};

class ModelState {
public:
    OcctModel model;
    OcctHostOptions options;
    DisplayState display;

    // The host's state changes (selection, redraw, lock), shown with --verbose.
    void note(const std::string& what) const;
    // Selects (highlights) or deselects the object with the display key
    // `key`; seen on the next redraw.
    bool note_selection(bool selected, const char* kind, const std::string& name, const std::string& key);

    // Meshes every part at once, as a CAD system does when it shows a model.
    void mesh_all();
    // By (part, solid): every occurrence of a part shares its solids' meshes.
    const SolidMesh& solid_mesh(int part, int solid);
    // In the part's frame, so the same for every occurrence.
    const cad::MassPropertiesResult& mass_properties(int part, int solid, double density);
    // By (part, solid): the tessellation object the bodies hand out while it lives.
    std::map<std::pair<int, int>, std::weak_ptr<cad::Tessellation>> tessellations;

private:
    void ensure_mesh(int part);
    // Keeps a part's solid meshes and warns of those that did not close.
    void keep(int part, const std::vector<MeshedSolid>& solids);

    std::vector<bool> meshed_;
    std::map<std::pair<int, int>, std::shared_ptr<const SolidMesh>> solid_meshes_;
    std::map<std::pair<int, int>, std::shared_ptr<const GProp_GProps>> volumes_;  // where meshing computed them
    std::map<std::tuple<int, int, double>, cad::MassPropertiesResult> mass_properties_;
};

using StatePtr = std::shared_ptr<ModelState>;

// Every object the host hands out: reference counted, answering for itself
// as the automation interface, with the persistent id the extension reads.
class OcctObject : public virtual cad::HostObject, public std::enable_shared_from_this<OcctObject> {
public:
    cad::HostObjectPtr as_dispatch() override { return std::dynamic_pointer_cast<cad::HostObject>(shared_from_this()); }
    // Its place in the file, which also names it on screen.
    std::string key() const { return {persistent_id.begin(), persistent_id.end()}; }
    cad::ByteArray persistent_id;
};

inline cad::ByteArray bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

}  // namespace velmora::occt
