#pragma once
#include <string>

namespace velmora::platform {

// Full file name of the shared object that holds this code (the add-in
// module); empty when it cannot be found.
std::string own_module_path();

}  // namespace velmora::platform
