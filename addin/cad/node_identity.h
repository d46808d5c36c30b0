#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "cad_object_registry.h"

namespace velmora::cad {

// A registered object's persistent id as text, for each node id.
std::vector<std::string> get_persistent_ids(const CAD_ObjectRegistry& registry, const std::vector<int32_t>& node_ids);
// -1 for a text that no registered object produced.
std::vector<int32_t> get_node_ids(const CAD_ObjectRegistry& registry, const std::vector<std::string>& persistent_ids);

}  // namespace velmora::cad
