#pragma once
#include "cad_rpc_types.h"

// A tree the views can walk: the root exists, every listed child exists,
// names its parent back and is listed once, and node keys are their ids.
// Throws std::runtime_error naming the first fault otherwise, so a broken
// answer is refused once instead of breaking every view that walks it.
void check_cad_tree(const CAD_RPC::Tree& tree);
