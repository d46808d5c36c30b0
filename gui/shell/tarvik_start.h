#pragma once
#include <string>
#include <vector>

// The number in an argument's leading digits: leading white space and a sign
// are accepted, anything after the digits is ignored, no number gives 0.
// Only 1 to 65535 is a port.
int port_from_argument(const std::string& argument);

// Everything after the application object exists and the icons are loaded:
// connect to the add-in on the port of arguments[0], show the main window
// (initial output path arguments[1] when exactly two are given), run the
// event loop, then tell the add-in to stop. Returns the exit code.
int run_tarvik(const std::vector<std::string>& arguments);
