// velmora-host: plays the CAD host on Linux. Opens a model as the active
// document, loads the add-in module and performs its "Export ZEL" command:
// in a CAD window that shows the model when a display is there (and ends
// when the window closes), else without one (and ends when the run ends);
// or exports headless, one model or a batch.
#include <iostream>
#include <stdexcept>

#include "arguments.h"
#include "batch.h"
#include "command_run.h"
#include "headless_export.h"
#include "model_opening.h"

// Last: its macros (None, Bool, Status) would break the headers above.
#include <X11/Xlib.h>

namespace {

// A display the 3D view can draw on (an X server: OpenGL through GLX).
bool display_available()
{
    Display* display = ::XOpenDisplay(nullptr);
    if (!display) return false;
    ::XCloseDisplay(display);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace velmora::host;
    const Arguments arguments = parse_arguments(argc, argv);
    try {
        // Without any window: no display is even asked for.
        if (!arguments.export_dir.empty()) return run_batch(arguments);
        if (!arguments.export_path.empty()) return run_export(arguments);
        const bool window = !arguments.no_window && display_available();
        if (!window && arguments.no_command) {
            std::cerr << "velmora-host: --no-command needs a display for the CAD window\n";
            return 2;
        }
        if (window) return run_with_window(arguments);
        const auto application = open_model(arguments);
        if (!application) return 2;
        return run_without_window(arguments, application);
    } catch (const std::exception& e) {
        std::cerr << "velmora-host: " << e.what() << "\n";
        return 2;
    }
}
