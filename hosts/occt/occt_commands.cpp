#include "occt_commands.h"

#include "host_interface/host_text.h"

namespace velmora::occt {

int OcctCommandGroup::add_command_item(const std::u16string& name, int, const std::u16string& hint,
                                       const std::u16string& tooltip, int image_index, const std::u16string& callback,
                                       const std::u16string& enable_method, int user_id, int)
{
    view.commands.push_back({name, callback, enable_method, tooltip, hint, image_index});
    ids.push_back(user_id);
    return static_cast<int>(view.commands.size()) - 1;
}

bool OcctCommandGroup::activate()
{
    state_->note("command group \"" + cad::utf8_from_utf16(view.title) + "\" with " +
                 std::to_string(view.commands.size()) + " command(s) and " + std::to_string(view.icons.size()) +
                 " icon file(s)");
    return true;
}

std::optional<std::vector<int>> OcctCommandManager::get_group_data_from_registry(int user_id)
{
    auto it = groups.find(user_id);
    if (it == groups.end()) return std::nullopt;
    return it->second->ids;
}

cad::CommandGroupPtr OcctCommandManager::create_command_group(int user_id, const std::u16string& title,
                                                              const std::u16string& tooltip, const std::u16string& hint,
                                                              int, bool)
{
    OcctCommandGroupView view;
    view.title = title;
    view.tooltip = tooltip;
    view.hint = hint;
    auto group = std::make_shared<OcctCommandGroup>(state_, std::move(view));
    groups[user_id] = group;
    return group;
}

bool OcctCommandManager::remove_command_group(int user_id)
{
    state_->note("command group " + std::to_string(user_id) + " removed");
    return groups.erase(user_id) > 0;
}

}  // namespace velmora::occt
