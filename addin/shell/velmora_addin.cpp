#include "velmora_addin.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "host_interface/host.h"
#include "host_interface/host_text.h"
#include "addin_ids.h"
#include "host_words.h"

namespace velmora::shell {
namespace {

// The leading decimal number of a revision text such as "31.1.0".
int leading_number(const std::u16string& text)
{
    int value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') break;
        value = value * 10 + (c - u'0');
        if (value > 1'000'000) break;
    }
    return value;
}

std::u16string utf16(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

}  // namespace

bool C_Velmora::connect(const cad::HostObjectPtr& host, int cookie)
{
    application_ = std::dynamic_pointer_cast<cad::Application>(host);
    cookie_ = cookie;
    reserved_ = 0;
    if (application_) {
        command_manager_ = application_->get_command_manager(cookie_);
        // A 32-bit value in place of the module's instance handle.
        application_->set_addin_callback_info(static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(this)),
                                              shared_from_this(), cookie_);
        major_version_ = leading_number(application_->get_revision_number());
    }
    create_command_group();
    return true;
}

void C_Velmora::create_command_group()
{
    bitmap_handler_ = std::make_unique<CBitmapHandler>();
    if (!command_manager_) return;
    const std::u16string title = command_group_title(application_), hint = kGroupHint;

    const auto stored = command_manager_->get_group_data_from_registry(0);
    bool ignore_previous = false;
    if (stored) {
        auto ids = *stored;
        std::sort(ids.begin(), ids.end());
        ignore_previous = ids != std::vector<int>{0};
    }
    const cad::CommandGroupPtr group = command_manager_->create_command_group(0, title, title, hint, -1, ignore_previous);
    if (!group) return;

    // A bitmap that could not be written leaves an empty path in its place.
    std::vector<std::u16string> icons, strips;
    for (int id = 242; id <= 247; ++id) icons.push_back(utf16(bitmap_handler_->create_bitmap_file(id).value_or("")));
    for (int id = 248; id <= 253; ++id) strips.push_back(utf16(bitmap_handler_->create_bitmap_file(id).value_or("")));
    group->set_main_icon_list(icons);
    group->set_icon_list(strips);
    group->add_command_item(kCommandName, -1, kCommandHint, kCommandName, 0, kCallbackName, kEnableMethodName, 0, 3);
    group->set_has_toolbar(false);
    group->set_has_menu(true);
    group->activate();
}

void C_Velmora::disconnect()
{
    if (bitmap_handler_) bitmap_handler_->delete_bitmap_files();
    bitmap_handler_.reset();
    if (command_manager_) command_manager_->remove_command_group(0);
    command_manager_.reset();
    application_.reset();
}

void C_Velmora::ToolbarCallback0()
{
    cad::ApplicationPtr application = application_;  // the run's own reference
    perform_export_run(application, run_options_);
}

bool C_Velmora::invoke(const std::u16string& method, int* result)
{
    if (method == kCallbackName) {
        ToolbarCallback0();
        if (result) *result = 0;
        return true;
    }
    if (method == kEnableMethodName) {
        if (result) *result = ToolbarEnable0();
        return true;
    }
    return false;
}

}  // namespace velmora::shell

extern "C" velmora::cad::Addin* Velmora_CreateAddin() { return new velmora::shell::C_Velmora(); }

extern "C" void Velmora_DestroyAddin(velmora::cad::Addin* addin) { delete addin; }

// The entries have the types a loader calls them as.
static_assert(std::is_same_v<decltype(&Velmora_CreateAddin), velmora::cad::CreateAddin>);
static_assert(std::is_same_v<decltype(&Velmora_DestroyAddin), velmora::cad::DestroyAddin>);
