#include "host_words.h"

#include "host_interface/application.h"
#include "host_interface/host_text.h"
#include "addin_ids.h"
#include "rpc_constants.h"

namespace velmora::shell {
namespace {

struct Host {
    std::string name;
    bool solidworks, russian;
};

Host host_of(const cad::ApplicationPtr& application)
{
    if (!application) return {"SolidWorks", true, true};
    const std::u16string name = application->get_display_name();
    // "russian" as SolidWorks names it, "Russian" as FreeCAD does, "ru_RU" a locale.
    const std::u16string language = application->get_current_language();
    const bool russian = language.size() >= 2 && (language[0] == u'r' || language[0] == u'R') &&
                         (language[1] == u'u' || language[1] == u'U');
    return {cad::utf8_from_utf16(name), name == u"SolidWorks", russian};
}

}  // namespace

LockNoticeWords lock_notice_words(const cad::ApplicationPtr& application)
{
    const Host host = host_of(application);
    if (host.solidworks) return {kLockCaption, kLockText};
    if (host.russian)
        return {"Интерфейс " + host.name + " заблокирован.",
                "Не закрывайте диалог до завершения работы с плагином.\nПосле закрытия диалога интерфейс " + host.name +
                    " будет разблокирован."};
    return {host.name + " is locked.", "Do not close this dialog until you have finished working with the plugin.\n" +
                                           host.name + " is unlocked when the dialog is closed."};
}

std::u16string command_group_title(const cad::ApplicationPtr& application)
{
    const Host host = host_of(application);
    if (host.solidworks) return kGroupTitle;
    return host.russian ? u"Экспорт ZEL" : u"ZEL export";
}

}  // namespace velmora::shell
