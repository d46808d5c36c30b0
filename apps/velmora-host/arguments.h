#pragma once
// velmora-host's command line.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "export_client/export_options.h"
#include "hosts/occt/occt_mesh.h"

namespace velmora::host {

struct Arguments {
    int port = 9090;
    bool no_gui = false, verbose = false, no_window = false, no_command = false;
    std::string gui, model_path, addin_path, codepage;
    std::string freecad_addon;  // the FreeCAD add-on that reads .FCStd models
    // The headless export: where to, and Tarvik's settings.
    std::string export_path;
    tarvik::ExportOptions exported;
    // The batch: where to, how many at a time, the models, and the options
    // each model's own export takes.
    std::string export_dir;
    unsigned jobs = 0;
    std::vector<std::string> models, passed;
    std::optional<std::array<int, 4>> geometry;  // width, height, x, y
    double density = 1000.0;
    occt::MeshQuality quality = occt::MeshQuality::Standard;
};

// The arguments; bad ones print the reason and the usage and exit with 2.
// Everything after "--" is a model, even when it starts with "-".
Arguments parse_arguments(int argc, char** argv);

[[noreturn]] void bad_usage(const std::string& message);

}  // namespace velmora::host
