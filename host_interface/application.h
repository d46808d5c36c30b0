#pragma once
#include <cstdint>
#include <string>

#include "host_object.h"

namespace velmora::cad {

class Application : public virtual HostObject {
public:
    // Empty when no document is open.
    virtual DocumentPtr get_active_document() = 0;
    virtual ArrayReaderPtr get_array_reader() = 0;
    virtual CommandManagerPtr get_command_manager(int cookie) = 0;
    // Makes `addin` the target of command callbacks for `cookie`.
    virtual bool set_addin_callback_info(std::int32_t module_handle, HostObjectPtr addin, int cookie) = 0;
    virtual std::u16string get_revision_number() = 0;
    // The CAD system's name as its users know it ("SolidWorks", "FreeCAD").
    virtual std::u16string get_display_name() = 0;
    // The language of its user interface, as SolidWorks' GetCurrentLanguage
    // names it: "english", "russian"...
    virtual std::u16string get_current_language() = 0;
};

}  // namespace velmora::cad
