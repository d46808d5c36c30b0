#pragma once
#include <optional>
#include <string>
#include <vector>

#include "host_object.h"

namespace velmora::cad {

class CommandManager : public virtual HostObject {
public:
    // The command ids the host has stored for group `user_id`; none when it
    // holds no data for the group.
    virtual std::optional<std::vector<int>> get_group_data_from_registry(int user_id) = 0;
    virtual CommandGroupPtr create_command_group(int user_id, const std::u16string& title,
                                                 const std::u16string& tooltip, const std::u16string& hint,
                                                 int position, bool ignore_previous_version) = 0;
    virtual bool remove_command_group(int user_id) = 0;
};

}  // namespace velmora::cad
