#pragma once
#include "cad_object_registry.h"
#include "cad_rpc_types.h"

namespace velmora::cad {

// Walks the registry's document into `tree` (which must be fresh),
// registering every object that becomes a node. Fails with a message that
// says what was missing rather than returning a partial tree.
void build_cad_tree(CAD_ObjectRegistry& registry, CAD_RPC::Tree& tree);

}  // namespace velmora::cad
