#include "module_path.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>

namespace velmora::platform {

std::string own_module_path()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&own_module_path), &info) == 0 || info.dli_fname == nullptr) return {};
    char resolved[PATH_MAX];
    if (::realpath(info.dli_fname, resolved) == nullptr) return info.dli_fname;
    return resolved;
}

}  // namespace velmora::platform
