#pragma once
#include <cstdint>
#include <vector>

#include "cad_object_registry.h"

namespace velmora::cad {

// Adds the objects to (or removes them from) the host's selection; ids are
// taken in order and an unknown id stops the call with those before it changed.
void set_highlight_status_of_ids(const CAD_ObjectRegistry& registry, const std::vector<int32_t>& node_ids,
                                 bool highlight);
// Redraws the whole view; nothing when the document has no display.
void refresh_display(const CAD_ObjectRegistry& registry);

}  // namespace velmora::cad
