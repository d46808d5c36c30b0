#pragma once
// The command groups that add-ins put into the host.
#include <map>

#include "occt_state.h"

namespace velmora::occt {

// A command that an add-in put into one of the host's command groups.
struct OcctCommand {
    std::u16string name;
    std::u16string callback;
    std::u16string enable_method;
    std::u16string tooltip;
    std::u16string hint;
    int image_index = 0;  // into the group's icon strips
};

// A command group as its add-in made it: texts, icon files (square main
// icons and command strips, each list in size order) and commands.
struct OcctCommandGroupView {
    std::u16string title, tooltip, hint;
    std::vector<std::u16string> main_icons, icons;
    std::vector<OcctCommand> commands;
};

class OcctCommandGroup : public OcctObject, public cad::CommandGroup {
public:
    OcctCommandGroup(StatePtr state, OcctCommandGroupView view) : view(std::move(view)), state_(std::move(state)) {}
    void set_main_icon_list(const std::vector<std::u16string>& files) override { view.main_icons = files; }
    void set_icon_list(const std::vector<std::u16string>& files) override { view.icons = files; }
    int add_command_item(const std::u16string& name, int, const std::u16string& hint, const std::u16string& tooltip,
                         int image_index, const std::u16string& callback, const std::u16string& enable_method,
                         int user_id, int) override;
    void set_has_toolbar(bool) override {}
    void set_has_menu(bool) override {}
    bool activate() override;

    OcctCommandGroupView view;
    std::vector<int> ids;

private:
    StatePtr state_;
};

// The host keeps a group's command ids while it lives; a new run starts with none.
class OcctCommandManager : public OcctObject, public cad::CommandManager {
public:
    explicit OcctCommandManager(StatePtr state) : state_(std::move(state)) {}
    std::optional<std::vector<int>> get_group_data_from_registry(int user_id) override;
    cad::CommandGroupPtr create_command_group(int user_id, const std::u16string& title, const std::u16string&,
                                              const std::u16string&, int, bool) override;
    bool remove_command_group(int user_id) override;

    std::map<int, std::shared_ptr<OcctCommandGroup>> groups;

private:
    StatePtr state_;
};

}  // namespace velmora::occt
