// The add-in as the CAD host drives it: connect, the command, disconnect,
// and registration.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "addin/platform/registry.h"
#include "addin/shell/registration.h"
#include "addin/shell/velmora_addin.h"
#include "hosts/memory/memory_model.h"

using namespace velmora;
namespace fs = std::filesystem;

namespace {

std::shared_ptr<shell::C_Velmora> make_addin()
{
    return std::shared_ptr<shell::C_Velmora>(Velmora_CreateAddin(), Velmora_DestroyAddin);
}

struct BmpInfo {
    int width = 0, height = 0, bits = 0;
    std::size_t size = 0;
};

BmpInfo read_bmp(const std::u16string& path16)
{
    std::ifstream f(std::string(path16.begin(), path16.end()), std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    BmpInfo info;
    info.size = data.size();
    if (data.size() < 54 || data.compare(0, 2, "BM") != 0) return info;
    auto u32 = [&](std::size_t at) {
        return int(uint8_t(data[at])) | int(uint8_t(data[at + 1])) << 8 | int(uint8_t(data[at + 2])) << 16 |
               int(uint8_t(data[at + 3])) << 24;
    };
    info.width = u32(18);
    info.height = u32(22);
    info.bits = uint8_t(data[28]) | uint8_t(data[29]) << 8;
    return info;
}

}  // namespace

TEST(Addin, ConnectCreatesTheExportCommandAndDisconnectCleansUp)
{
    memory::MemoryModel model;
    auto addin = make_addin();
    EXPECT_TRUE(addin->connect(model.application, 7));
    EXPECT_EQ(model.application->last_cookie, 7);
    EXPECT_EQ(model.application->callback_target, addin);
    EXPECT_EQ(addin->host_major_version(), 31);

    auto& manager = *model.application->command_manager;
    ASSERT_EQ(manager.groups.size(), 1u);
    const auto& group = *manager.groups[0];
    EXPECT_EQ(group.user_id, 0);
    EXPECT_EQ(group.title, u"ZEL SW Plugin");
    EXPECT_EQ(group.tooltip, u"ZEL SW Plugin");
    EXPECT_EQ(group.hint, u"This example menu starts notepad");
    EXPECT_EQ(group.position, -1);
    EXPECT_FALSE(group.ignore_previous);  // no stored data
    ASSERT_EQ(group.items.size(), 1u);
    const auto& item = group.items[0];
    EXPECT_EQ(item.name, u"Export ZEL");
    EXPECT_EQ(item.tooltip, u"Export ZEL");
    EXPECT_EQ(item.hint, u"Shows export dialog");
    EXPECT_EQ(item.callback, u"ToolbarCallback0");
    EXPECT_EQ(item.enable_method, u"ToolbarEnable0");
    EXPECT_EQ(item.position, -1);
    EXPECT_EQ(item.image_index, 0);
    EXPECT_EQ(item.menu_toolbar_option, 3);
    EXPECT_FALSE(group.has_toolbar);
    EXPECT_TRUE(group.has_menu);
    EXPECT_TRUE(group.active);

    const int sizes[6] = {20, 32, 40, 64, 96, 128};
    ASSERT_EQ(group.main_icons.size(), 6u);
    ASSERT_EQ(group.icons.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        const auto square = read_bmp(group.main_icons[i]);
        EXPECT_EQ(square.width, sizes[i]);
        EXPECT_EQ(square.height, sizes[i]);
        EXPECT_EQ(square.bits, 24);
        const auto strip = read_bmp(group.icons[i]);
        EXPECT_EQ(strip.width, 3 * sizes[i]);
        EXPECT_EQ(strip.height, sizes[i]);
        const std::string name = fs::path(std::string(group.icons[i].begin(), group.icons[i].end())).filename();
        EXPECT_EQ(name.rfind("swt", 0), 0u) << name;
    }

    addin->disconnect();
    EXPECT_EQ(manager.removed_groups, std::vector<int>{0});
    for (const auto& p : group.main_icons) EXPECT_FALSE(fs::exists(std::string(p.begin(), p.end())));
    for (const auto& p : group.icons) EXPECT_FALSE(fs::exists(std::string(p.begin(), p.end())));
}

TEST(Addin, StoredCommandIdsDecideWhetherThePreviousGroupIsIgnored)
{
    auto ignored_with = [](std::optional<std::vector<int>> stored) {
        memory::MemoryModel model;
        model.application->command_manager->stored_ids = stored;
        auto addin = make_addin();
        addin->connect(model.application, 1);
        const bool ignored = model.application->command_manager->groups.at(0)->ignore_previous;
        addin->disconnect();
        return ignored;
    };
    EXPECT_FALSE(ignored_with(std::vector<int>{0}));
    EXPECT_TRUE(ignored_with(std::vector<int>{0, 1}));
    EXPECT_TRUE(ignored_with(std::vector<int>{}));
    EXPECT_TRUE(ignored_with(std::vector<int>{1}));
    EXPECT_FALSE(ignored_with(std::nullopt));
}

TEST(Addin, CommandsByNameAndTheExportRun)
{
    memory::MemoryModel model;  // no document open
    auto addin = make_addin();
    addin->connect(model.application, 1);
    std::vector<std::string> boxes;
    shell::ExportRunOptions options;
    options.report = [&](const std::string& caption, const std::string& text) { boxes.push_back(caption + ": " + text); };
    addin->set_run_options(options);

    int result = -1;
    EXPECT_TRUE(addin->invoke(u"ToolbarEnable0", &result));
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(addin->invoke(u"ToolbarCallback1"));
    EXPECT_TRUE(addin->invoke(u"ToolbarCallback0"));
    EXPECT_EQ(boxes, std::vector<std::string>{"Uncaught exception!: Unable to get Model!"});
    addin->disconnect();
}

TEST(Addin, ConnectWithoutACommandManagerStillSucceeds)
{
    memory::MemoryModel model;
    model.application->command_manager.reset();
    auto addin = make_addin();
    EXPECT_TRUE(addin->connect(model.application, 1));
    addin->disconnect();
    EXPECT_TRUE(make_addin()->connect(nullptr, 0));
}

TEST(Registration, TwiceReplacesOursAndUnregisterRemovesOnlyOurs)
{
    platform::MemoryRegistry registry;
    const std::string other = "HKLM\\SOFTWARE\\SolidWorks\\AddIns\\{00000000-1111-2222-3333-444444444444}";
    registry.set_value(other, "Title", std::string("Other add-in"));
    registry.set_value("HKCR\\CLSID\\{CBFDE05A-4809-4968-BDA2-9F43FAA93E06}\\Stale", "", std::string("old"));

    shell::register_server(registry, "/opt/v/Velmora/lib/libVelmora.so");
    const auto first = registry.keys();
    shell::register_server(registry, "/opt/v/Velmora/lib/libVelmora.so");
    EXPECT_EQ(registry.keys(), first);

    const std::string clsid = "HKCR\\CLSID\\{CBFDE05A-4809-4968-BDA2-9F43FAA93E06}";
    EXPECT_FALSE(registry.key_exists(clsid + "\\Stale"));  // replaced whole
    auto text = [&](const std::string& key, const std::string& name) {
        const auto* v = registry.value(key, name);
        return v && std::holds_alternative<std::string>(*v) ? std::get<std::string>(*v) : std::string("<none>");
    };
    EXPECT_EQ(text(clsid + "\\InprocServer32", ""), "/opt/v/Velmora/lib/libVelmora.so");
    EXPECT_EQ(text(clsid + "\\InprocServer32", "ThreadingModel"), "Both");
    EXPECT_EQ(text(clsid + "\\TypeLib", ""), "{6BBCCB44-DC1E-4021-84BA-886BF1F81800}");
    EXPECT_EQ(text("HKCR\\Velmora.SwAddin\\CurVer", ""), "Velmora.SwAddin.1");
    EXPECT_EQ(text("HKCR\\Velmora.BitmapHandler.1\\CLSID", ""), "{E5407DDD-4AA2-47EF-9896-461B5DD90AE5}");
    EXPECT_EQ(text("HKCR\\AppID", ""), "Velmora");
    const std::string ours = "HKLM\\SOFTWARE\\SolidWorks\\AddIns\\{CBFDE05A-4809-4968-BDA2-9F43FAA93E06}";
    const auto* dword = registry.value(ours, "");
    ASSERT_TRUE(dword);
    EXPECT_EQ(std::get<std::uint32_t>(*dword), 0u);
    EXPECT_EQ(text(ours, "Title"), "Velmora");
    EXPECT_EQ(text(ours, "Description"), "Velmora AddIn");

    shell::unregister_server(registry);
    EXPECT_FALSE(registry.key_exists(ours));
    EXPECT_FALSE(registry.key_exists(clsid));
    EXPECT_FALSE(registry.key_exists("HKCR\\Velmora.SwAddin"));
    EXPECT_FALSE(registry.key_exists("HKCR\\Velmora.BitmapHandler.1"));
    EXPECT_FALSE(registry.key_exists("HKCR\\AppID\\Velmora.DLL"));
    EXPECT_TRUE(registry.key_exists("HKCR\\AppID"));
    EXPECT_TRUE(registry.key_exists("HKCR\\CLSID"));
    EXPECT_TRUE(registry.key_exists("HKLM\\SOFTWARE\\SolidWorks\\AddIns"));
    EXPECT_EQ(text(other, "Title"), "Other add-in");
}
