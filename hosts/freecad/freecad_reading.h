#pragma once
// A FreeCAD document file read by FreeCAD's own library, with no display and
// no FreeCAD window: FreeCAD's command-line program runs the add-on's
// VelmoraHeadless.py on it, which takes the snapshot the command takes and
// resolves links into other files as FreeCAD does.
#include <string>

#include "freecad_document.h"

namespace velmora::freecad {

// The program that runs FreeCAD without its GUI: VELMORA_FREECADCMD, else
// freecadcmd on the PATH.
std::string freecad_command_program();

// Reads `path` with the add-on in `addon_dir`. Throws std::runtime_error
// with FreeCAD's reason (a linked file that could not be opened is named),
// or saying that FreeCAD is not installed.
FreecadDocument read_freecad_document(const std::string& path, const std::string& addon_dir);

}  // namespace velmora::freecad
