#pragma once
// Faces of a model that belong to no solid.
#include <functional>
#include <string>

#include "occt_parts.h"

namespace velmora::occt {

// The export takes solids: faces that belong to none are sewn (within the
// tolerance the file gives their edges, up to a hundred times it where
// that closes more) and every shell that closes becomes a solid of its
// part. Where a flat file (IGES, say) holds each face as a part of its own,
// those parts are sewn together into one part named `name`. What closes
// nothing is left out, and `warn` hears how many faces of which part; it
// also hears when the model holds no solid at all.
void close_surfaces(OcctModel& model, const std::string& name, const std::function<void(const std::string&)>& warn);

}  // namespace velmora::occt
