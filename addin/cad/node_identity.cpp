#include "node_identity.h"

#include <stdexcept>

#include "host_interface/host.h"

namespace velmora::cad {

void set_highlight_status_of_ids(const CAD_ObjectRegistry& registry, const std::vector<int32_t>& node_ids,
                                 bool highlight)
{
    const SelectionManagerPtr manager = registry.document()->get_selection_manager();
    if (!manager) throw std::runtime_error("ERROR: document has no selection manager!");
    const SelectionOptionsPtr options = manager->create_selection_options();
    if (options) options->set_mark(1);

    for (const int32_t id : node_ids) {
        const HostObjectPtr& object = registry.object_at(id);
        if (!object) continue;
        if (ComponentPtr component = object->as_component()) {
            highlight ? component->select(true, options, false) : component->deselect();
        } else if (FeaturePtr feature = object->as_feature()) {
            highlight ? feature->select(true, 1) : feature->deselect();
        } else if (BodyPtr body = object->as_body()) {
            highlight ? body->select(true, options) : body->deselect();
        }
        // Anything else (the root of a part) has nothing to highlight.
    }
}

void refresh_display(const CAD_ObjectRegistry& registry)
{
    if (const DisplayPtr display = registry.document()->get_display()) {
        const unsigned char whole_view[16] = {};
        display->redraw(whole_view);
    }
}

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
