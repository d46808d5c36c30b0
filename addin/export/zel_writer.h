#pragma once
#include <string>

#include "zel_document.h"

namespace velmora::zel {

// Writes `document` to `path` as XML. The file appears whole or not at all:
// it is written next to the target and renamed over it, so a failure leaves
// any earlier file at `path` unchanged. Failures throw with the path named.
void write_zel_document(const ZelDocument& document, const std::string& path);

// The XML text itself, as the file holds it.
std::string format_zel_document(const ZelDocument& document);

}  // namespace velmora::zel
