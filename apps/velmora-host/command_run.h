#pragma once
// velmora-host as the CAD system: the add-in's "Export ZEL" command
// performed for Tarvik, in the CAD window or on the terminal.
#include "host_interface/host_fwd.h"
#include "arguments.h"

namespace velmora::host {

// With a window: it opens at once and shows how far the reading has come;
// then the model, and the command at once unless told to wait for a click.
// Ends when the window closes: 0, 2 when the model or add-in cannot be
// loaded, 1 when a run ended in an exception.
int run_with_window(const Arguments& a);

// Without a window: the command once, and the end with its run (1 when it
// ended in an exception).
int run_without_window(const Arguments& a, const cad::ApplicationPtr& application);

}  // namespace velmora::host
