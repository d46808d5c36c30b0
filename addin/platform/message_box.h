#pragma once
#include <functional>
#include <string>

namespace velmora::platform {

// Shows a warning to the user (MessageBoxA with the exclamation icon on
// Windows). On Linux: the caption and text on standard error.
using MessageBoxFn = std::function<void(const std::string& caption, const std::string& text)>;

void show_warning_box(const std::string& caption, const std::string& text);

}  // namespace velmora::platform
