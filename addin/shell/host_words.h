#pragma once
// What the add-in says in a CAD system: the lock notice and the command
// group's title, naming the system it runs in, in the language its user
// chose (English or Russian, Tarvik's two). In SolidWorks they are the
// texts it always had: its users, and stop_rpc_service finding the notice
// by its caption, know them.
#include <string>

#include "host_interface/host_fwd.h"

namespace velmora::shell {

struct LockNoticeWords {
    std::string caption;  // unique: stop_rpc_service closes the notice by it
    std::string text;
};

LockNoticeWords lock_notice_words(const cad::ApplicationPtr& application);
std::u16string command_group_title(const cad::ApplicationPtr& application);

}  // namespace velmora::shell
