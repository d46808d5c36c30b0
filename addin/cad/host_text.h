#pragma once
#include <string>

namespace velmora::cad {

// Host texts are UTF-16; nodes carry UTF-8. Unpaired surrogates become
// U+FFFD, as the system conversion does without flags.
std::string utf8_from_utf16(const std::u16string& text);

}  // namespace velmora::cad
