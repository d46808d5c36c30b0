#include "registration.h"

#include <set>

#include "addin/shell/addin_ids.h"

namespace velmora::shell {
namespace {

using Mode = RegistryEntry::Mode;
using Value = platform::Registry::Value;

RegistrarScript class_script(const std::string& progid, const std::string& description, const std::string& clsid)
{
    const std::string versioned = progid + ".1";
    const std::string clsid_key = std::string("HKCR\\CLSID\\") + clsid;
    return {
        {"HKCR\\" + versioned, Mode::Normal, {{"", Value(description)}}},
        {"HKCR\\" + versioned + "\\CLSID", Mode::Normal, {{"", Value(clsid)}}},
        {"HKCR\\" + progid, Mode::Normal, {{"", Value(description)}}},
        {"HKCR\\" + progid + "\\CLSID", Mode::Normal, {{"", Value(clsid)}}},
        {"HKCR\\" + progid + "\\CurVer", Mode::Normal, {{"", Value(versioned)}}},
        {"HKCR\\CLSID", Mode::NoRemove, {}},
        {clsid_key, Mode::ForceRemove, {{"", Value(description)}, {"AppID", Value(std::string("%APPID%"))}}},
        {clsid_key + "\\ProgID", Mode::Normal, {{"", Value(versioned)}}},
        {clsid_key + "\\VersionIndependentProgID", Mode::Normal, {{"", Value(progid)}}},
        {clsid_key + "\\Programmable", Mode::ForceRemove, {}},
        {clsid_key + "\\InprocServer32", Mode::Normal,
         {{"", Value(std::string("%MODULE%"))}, {"ThreadingModel", Value(std::string("Both"))}}},
        {clsid_key + "\\TypeLib", Mode::Normal, {{"", Value(std::string(kLibIdVelmoraLib))}}},
    };
}

std::string substitute(std::string text, const std::string& module_path)
{
    for (auto [from, to] : {std::pair<std::string, std::string>{"%MODULE%", module_path}, {"%APPID%", ""}}) {
        for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    }
    // "AppID\%APPID%" names AppID itself once the id is empty.
    while (!text.empty() && text.back() == '\\') text.pop_back();
    return text;
}

Value substitute(const Value& v, const std::string& module_path)
{
    if (const auto* s = std::get_if<std::string>(&v)) return substitute(*s, module_path);
    return v;
}

void apply(platform::Registry& registry, const RegistrarScript& script, const std::string& module_path)
{
    for (const auto& entry : script) {
        const std::string key = substitute(entry.key, module_path);
        if (entry.mode == Mode::ForceRemove) registry.delete_tree(key);
        registry.create_key(key);
        for (const auto& [name, value] : entry.values) registry.set_value(key, name, substitute(value, module_path));
    }
}

void remove(platform::Registry& registry, const RegistrarScript& script)
{
    std::set<std::string> kept;
    for (const auto& entry : script)
        if (entry.mode == Mode::NoRemove) kept.insert(substitute(entry.key, ""));
    for (auto it = script.rbegin(); it != script.rend(); ++it) {
        if (it->mode == Mode::NoRemove) continue;
        const std::string key = substitute(it->key, "");
        if (kept.count(key)) {
            for (const auto& [name, value] : it->values) registry.delete_value(key, name);
        } else {
            registry.delete_tree(key);
        }
    }
}

}  // namespace

const RegistrarScript& swaddin_script()
{
    static const RegistrarScript script = [] {
        RegistrarScript s = {
            {"HKCR\\AppID", Mode::NoRemove, {}},
            {"HKCR\\AppID\\%APPID%", Mode::Normal, {{"", Value(std::string("Velmora"))}}},
            {"HKCR\\AppID\\Velmora.DLL", Mode::Normal, {{"AppID", Value(std::string("%APPID%"))}}},
        };
        for (auto& e : class_script("Velmora.SwAddin", "SwAddin Class", kClsidVelmora)) s.push_back(e);
        const std::string addin_key = std::string("HKLM\\SOFTWARE\\SolidWorks\\AddIns\\") + kClsidVelmora;
        s.push_back({"HKLM\\SOFTWARE", Mode::NoRemove, {}});
        s.push_back({"HKLM\\SOFTWARE\\SolidWorks", Mode::NoRemove, {}});
        s.push_back({"HKLM\\SOFTWARE\\SolidWorks\\AddIns", Mode::NoRemove, {}});
        s.push_back({addin_key, Mode::ForceRemove,
                     {{"", Value(std::uint32_t{0})},
                      {"Description", Value(std::string("Velmora AddIn"))},
                      {"Title", Value(std::string("Velmora"))}}});
        return s;
    }();
    return script;
}

const RegistrarScript& bitmap_handler_script()
{
    static const RegistrarScript script =
        class_script("Velmora.BitmapHandler", "BitmapHandler Class", kClsidBitmapHandler);
    return script;
}

void register_server(platform::Registry& registry, const std::string& module_path)
{
    apply(registry, swaddin_script(), module_path);
    apply(registry, bitmap_handler_script(), module_path);
}

void unregister_server(platform::Registry& registry)
{
    remove(registry, swaddin_script());
    remove(registry, bitmap_handler_script());
}

}  // namespace velmora::shell
