#pragma once
#include <cstdint>
#include <vector>

#include "host_object.h"

namespace velmora::cad {

// An automation byte array (a VARIANT holding a SAFEARRAY of bytes).
using ByteArray = std::vector<std::uint8_t>;

class ArrayReader : public virtual HostObject {
public:
    // The byte at `index`, 0..255.
    virtual std::uint8_t read_byte(const ByteArray& array, int index) = 0;
};

}  // namespace velmora::cad
