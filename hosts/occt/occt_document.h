#pragma once
// The open document: its configuration, its part or root component, and
// the services it offers (extension, selection, display).
#include "occt_state.h"

namespace velmora::occt {

// The active document of the model in `state`, with its whole tree of
// components, bodies and features.
cad::DocumentPtr make_document(const StatePtr& state);

}  // namespace velmora::occt
