#pragma once
#include <memory>
#include <string>

#include "addin/cad/host/host_fwd.h"

namespace velmora::occt {

struct OcctHostOptions {
    double density = 1000.0;  // kg/m^3, the mass-property object's setting
};

// Opens `path` (see read_model) as the active document of a CAD host
// application backed by OpenCASCADE.
cad::ApplicationPtr open_occt_application(const std::string& path, const OcctHostOptions& options = {});

}  // namespace velmora::occt
