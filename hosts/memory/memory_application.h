#pragma once
#include <optional>
#include <string>
#include <vector>

#include "host_interface/application.h"
#include "host_interface/command_group.h"
#include "host_interface/command_manager.h"
#include "memory_document.h"
#include "memory_object.h"

namespace velmora::memory {

class MemoryArrayReader : public MemoryObject, public cad::ArrayReader {
public:
    using MemoryObject::MemoryObject;
    std::uint8_t read_byte(const cad::ByteArray& array, int index) override
    {
        record("ArrayReader::read_byte");
        return array.at(static_cast<std::size_t>(index));
    }
};

struct MemoryCommandItem {
    std::u16string name, hint, tooltip, callback, enable_method;
    int position = 0, image_index = 0, user_id = 0, menu_toolbar_option = 0;
};

class MemoryCommandGroup : public MemoryObject, public cad::CommandGroup {
public:
    using MemoryObject::MemoryObject;
    void set_main_icon_list(const std::vector<std::u16string>& f) override
    {
        record("CommandGroup::set_main_icon_list");
        main_icons = f;
    }
    void set_icon_list(const std::vector<std::u16string>& f) override
    {
        record("CommandGroup::set_icon_list");
        icons = f;
    }
    int add_command_item(const std::u16string& name, int position, const std::u16string& hint,
                         const std::u16string& tooltip, int image_index, const std::u16string& callback,
                         const std::u16string& enable_method, int user_id, int option) override
    {
        record("CommandGroup::add_command_item");
        items.push_back({name, hint, tooltip, callback, enable_method, position, image_index, user_id, option});
        return static_cast<int>(items.size()) - 1;
    }
    void set_has_toolbar(bool v) override
    {
        record("CommandGroup::set_has_toolbar");
        has_toolbar = v;
    }
    void set_has_menu(bool v) override
    {
        record("CommandGroup::set_has_menu");
        has_menu = v;
    }
    bool activate() override
    {
        record("CommandGroup::activate");
        active = true;
        return true;
    }
    int user_id = 0;
    std::u16string title, tooltip, hint;
    int position = 0;
    bool ignore_previous = false;
    std::vector<std::u16string> main_icons, icons;
    std::vector<MemoryCommandItem> items;
    bool has_toolbar = false, has_menu = false, active = false;
};

class MemoryCommandManager : public MemoryObject, public cad::CommandManager {
public:
    using MemoryObject::MemoryObject;
    std::optional<std::vector<int>> get_group_data_from_registry(int) override
    {
        record("CommandManager::get_group_data_from_registry");
        return stored_ids;
    }
    cad::CommandGroupPtr create_command_group(int user_id, const std::u16string& title,
                                              const std::u16string& tooltip, const std::u16string& hint,
                                              int position, bool ignore_previous) override
    {
        record("CommandManager::create_command_group");
        auto g = std::make_shared<MemoryCommandGroup>(log());
        g->user_id = user_id;
        g->title = title;
        g->tooltip = tooltip;
        g->hint = hint;
        g->position = position;
        g->ignore_previous = ignore_previous;
        groups.push_back(g);
        return g;
    }
    bool remove_command_group(int user_id) override
    {
        record("CommandManager::remove_command_group");
        removed_groups.push_back(user_id);
        return true;
    }
    std::optional<std::vector<int>> stored_ids;
    std::vector<std::shared_ptr<MemoryCommandGroup>> groups;
    std::vector<int> removed_groups;
};

class MemoryApplication : public MemoryObject, public cad::Application {
public:
    explicit MemoryApplication(std::shared_ptr<CallLog> log)
        : MemoryObject(log), array_reader(std::make_shared<MemoryArrayReader>(log)),
          command_manager(std::make_shared<MemoryCommandManager>(log))
    {
    }
    cad::DocumentPtr get_active_document() override
    {
        record("Application::get_active_document");
        return active_document;
    }
    cad::ArrayReaderPtr get_array_reader() override
    {
        record("Application::get_array_reader");
        return array_reader;
    }
    cad::CommandManagerPtr get_command_manager(int cookie) override
    {
        record("Application::get_command_manager");
        last_cookie = cookie;
        return command_manager;
    }
    bool set_addin_callback_info(std::int32_t, cad::HostObjectPtr addin, int cookie) override
    {
        record("Application::set_addin_callback_info");
        callback_target = std::move(addin);
        last_cookie = cookie;
        return true;
    }
    std::u16string get_revision_number() override
    {
        record("Application::get_revision_number");
        return revision;
    }
    std::u16string get_display_name() override
    {
        record("Application::get_display_name");
        return display_name;
    }
    std::u16string get_current_language() override
    {
        record("Application::get_current_language");
        return language;
    }
    std::shared_ptr<MemoryDocument> active_document;
    std::shared_ptr<MemoryArrayReader> array_reader;
    std::shared_ptr<MemoryCommandManager> command_manager;
    cad::HostObjectPtr callback_target;
    std::u16string revision = u"31.1.0";
    // It stands for SolidWorks, as the add-in knows it.
    std::u16string display_name = u"SolidWorks", language = u"russian";
    int last_cookie = 0;
};

}  // namespace velmora::memory
