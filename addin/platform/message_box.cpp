#include "message_box.h"

#include <cstdio>

namespace velmora::platform {

void show_warning_box(const std::string& caption, const std::string& text)
{
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
}

}  // namespace velmora::platform
