#pragma once
#include <string>

namespace velmora::cad {

// Where the pieces lie in an installation, or in the build tree, below its
// top folder: the add-in module, the GUI it starts, the FreeCAD add-on.
inline constexpr const char* kAddinModulePath = "/Velmora/lib/libVelmora.so";
inline constexpr const char* kGuiProgramPath = "/Tarvik/bin/Tarvik";
inline constexpr const char* kFreecadAddonPath = "/FreeCAD/Mod/Velmora";

inline std::string addin_module_in(const std::string& root) { return root + kAddinModulePath; }
inline std::string gui_program_in(const std::string& root) { return root + kGuiProgramPath; }
inline std::string freecad_addon_in(const std::string& root) { return root + kFreecadAddonPath; }

}  // namespace velmora::cad
