#pragma once
// How the OpenCASCADE host opens a model and plays its CAD system.
#include <functional>
#include <iosfwd>
#include <string>

#include "occt_mesh.h"

namespace velmora::occt {

struct OcctHostOptions {
    double density = 1000.0;  // kg/m^3, the mass-property object's setting
    // Where the host reports its state changes (selection, redraw, lock); none when null.
    std::ostream* log = nullptr;
    // The meshes' accuracy.
    MeshQuality quality = MeshQuality::Standard;
    // Mesh every part when the model is opened, as a CAD system does to show
    // it, instead of on the first tessellation.
    bool mesh_on_open = false;
    // Parts meshed at a time when meshing on open (0: one per core).
    unsigned mesh_threads = 0;
    // Told how far reading and meshing have come: a stage and a fraction 0..1.
    std::function<void(const std::string& stage, double fraction)> progress;
    // The code page of the model's 8-bit names (see read_model).
    std::string codepage;
    // Told what the user should know about the model as it is read.
    std::function<void(const std::string& message)> warn;
    // The CAD system the host plays, and the language of its user
    // interface ("english", "russian"...), which the add-in speaks.
    std::u16string display_name = u"velmora-host";
    std::u16string language = u"english";
};

}  // namespace velmora::occt
