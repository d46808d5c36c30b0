#pragma once
#include <string>
#include <utility>
#include <vector>

#include "registry.h"

namespace velmora::shell {

// One key of a registrar script. NoRemove keys are never removed;
// ForceRemove keys are replaced whole on registration.
struct RegistryEntry {
    enum class Mode { Normal, NoRemove, ForceRemove };
    std::string key;
    Mode mode = Mode::Normal;
    std::vector<std::pair<std::string, platform::Registry::Value>> values;
};
using RegistrarScript = std::vector<RegistryEntry>;

const RegistrarScript& swaddin_script();
const RegistrarScript& bitmap_handler_script();

// Both classes' scripts, "%MODULE%" replaced by the module's path and
// "%APPID%" by the empty text.
void register_server(platform::Registry& registry, const std::string& module_path);
void unregister_server(platform::Registry& registry);

}  // namespace velmora::shell
