#pragma once
#include <string>
#include <vector>

#include "host_object.h"

namespace velmora::cad {

class CommandGroup : public virtual HostObject {
public:
    virtual void set_main_icon_list(const std::vector<std::u16string>& files) = 0;
    virtual void set_icon_list(const std::vector<std::u16string>& files) = 0;
    virtual int add_command_item(const std::u16string& name, int position, const std::u16string& hint,
                                 const std::u16string& tooltip, int image_index,
                                 const std::u16string& callback, const std::u16string& enable_method,
                                 int user_id, int menu_toolbar_option) = 0;
    virtual void set_has_toolbar(bool value) = 0;
    virtual void set_has_menu(bool value) = 0;
    virtual bool activate() = 0;
};

}  // namespace velmora::cad
