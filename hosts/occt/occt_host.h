#pragma once
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "addin/cad/host/host_fwd.h"

namespace velmora::occt {

struct OcctHostOptions {
    double density = 1000.0;  // kg/m^3, the mass-property object's setting
    // Where the host reports its state changes (selection, redraw, lock); none when null.
    std::ostream* log = nullptr;
    // Mesh every part when the model is opened, as a CAD system does to show
    // it, instead of on the first tessellation.
    bool mesh_on_open = false;
    // Parts meshed at a time when meshing on open (0: one per core).
    unsigned mesh_threads = 0;
    // Told how far reading and meshing have come: a stage and a fraction 0..1.
    std::function<void(const std::string& stage, double fraction)> progress;
};

// A command that an add-in put into one of the host's command groups.
struct OcctCommand {
    std::u16string name;
    std::u16string callback;
    std::u16string enable_method;
};

// The commands added so far to the application's command groups, in order.
std::vector<OcctCommand> occt_commands(const cad::ApplicationPtr& application);

// Opens `path` (see read_model) as the active document of a CAD host
// application backed by OpenCASCADE.
cad::ApplicationPtr open_occt_application(const std::string& path, const OcctHostOptions& options = {});

}  // namespace velmora::occt
