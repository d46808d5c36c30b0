#pragma once
#include <string>

namespace velmora::cad {

// Host texts are UTF-16; nodes carry UTF-8. Unpaired surrogates become
// U+FFFD, as the system conversion does without flags.
std::string utf8_from_utf16(const std::u16string& text);

// The way back, for hosts that hold UTF-8 (file names, OpenCASCADE labels).
// Malformed sequences become U+FFFD.
std::u16string utf16_from_utf8(const std::string& text);

}  // namespace velmora::cad
