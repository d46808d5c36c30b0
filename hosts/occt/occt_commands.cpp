#include "occt_commands.h"

#include "addin/cad/host/host_text.h"

namespace velmora::occt {

int OcctCommandGroup::add_command_item(const std::u16string& name, int, const std::u16string&, const std::u16string&,
                                       int, const std::u16string& callback, const std::u16string& enable_method,
                                       int user_id, int)
{
    commands.push_back({name, callback, enable_method});
    ids.push_back(user_id);
    return static_cast<int>(commands.size()) - 1;
}

bool OcctCommandGroup::activate()
{
    state_->note("command group \"" + cad::utf8_from_utf16(title_) + "\" with " + std::to_string(commands.size()) +
                 " command(s) and " + std::to_string(icon_count_) + " icon file(s)");
    return true;
}

std::optional<std::vector<int>> OcctCommandManager::get_group_data_from_registry(int user_id)
{
    auto it = groups.find(user_id);
    if (it == groups.end()) return std::nullopt;
    return it->second->ids;
}

cad::CommandGroupPtr OcctCommandManager::create_command_group(int user_id, const std::u16string& title,
                                                              const std::u16string&, const std::u16string&, int, bool)
{
    auto group = std::make_shared<OcctCommandGroup>(state_, title);
    groups[user_id] = group;
    return group;
}

bool OcctCommandManager::remove_command_group(int user_id)
{
    state_->note("command group " + std::to_string(user_id) + " removed");
    return groups.erase(user_id) > 0;
}

}  // namespace velmora::occt
