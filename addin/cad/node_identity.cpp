#include "node_identity.h"

namespace velmora::cad {

std::vector<std::string> get_persistent_ids(const CAD_ObjectRegistry& registry, const std::vector<int32_t>& node_ids)
{
    std::vector<std::string> result;
    result.reserve(node_ids.size());
    for (const int32_t id : node_ids) result.push_back(registry.persistent_id_text(id));
    return result;
}

std::vector<int32_t> get_node_ids(const CAD_ObjectRegistry& registry, const std::vector<std::string>& persistent_ids)
{
    std::vector<int32_t> result;
    result.reserve(persistent_ids.size());
    const auto& index = registry.persistent_index();
    for (const auto& text : persistent_ids) {
        auto it = index.find(text);
        result.push_back(it == index.end() ? -1 : it->second);
    }
    return result;
}

}  // namespace velmora::cad
