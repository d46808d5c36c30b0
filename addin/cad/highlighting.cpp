#include "highlighting.h"

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

}  // namespace velmora::cad
