// The add-in as the CAD host drives it: connect, the command, disconnect,
// and registration.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "addin/windows/registry.h"
#include "addin/shell/host_words.h"
#include "addin/windows/registration.h"
#include "addin/shell/rpc_constants.h"
#include "addin/shell/velmora_addin.h"
#include "hosts/memory/memory_model.h"
#include "tests/scratch.h"

using namespace velmora;
namespace fs = std::filesystem;

namespace {

std::shared_ptr<shell::C_Velmora> make_addin() { return std::make_shared<shell::C_Velmora>(); }

struct BmpInfo {
    int width = 0, height = 0, bits = 0;
    std::size_t size = 0;
};

BmpInfo read_bmp(const std::u16string& path16)
{
    const std::string data = velmora::testing::read_text(std::string(path16.begin(), path16.end()));
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

TEST(Addin, ConnectAddsTheCommandWithItsBitmapsAndDisconnectRemovesThem)
{
    memory::MemoryModel model;
    auto addin = make_addin();
    EXPECT_TRUE(addin->connect(model.application, 7));
    EXPECT_EQ(model.application->callback_target, addin);

    auto& manager = *model.application->command_manager;
    ASSERT_EQ(manager.groups.size(), 1u);
    const auto& group = *manager.groups[0];
    ASSERT_EQ(group.items.size(), 1u);
    // The host calls the command back by these names.
    EXPECT_EQ(group.items[0].callback, u"ToolbarCallback0");
    EXPECT_EQ(group.items[0].enable_method, u"ToolbarEnable0");
    EXPECT_TRUE(group.active);

    // Real bitmaps of the six sizes, squares and strips of three, in "swt" files.
    const int sizes[6] = {20, 32, 40, 64, 96, 128};
    ASSERT_EQ(group.main_icons.size(), 6u);
    ASSERT_EQ(group.icons.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        const auto square = read_bmp(group.main_icons[i]);
        EXPECT_EQ(std::tie(square.width, square.height, square.bits), std::make_tuple(sizes[i], sizes[i], 24));
        const auto strip = read_bmp(group.icons[i]);
        EXPECT_EQ(std::tie(strip.width, strip.height), std::make_tuple(3 * sizes[i], sizes[i]));
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
    const auto* server = registry.value(clsid + "\\InprocServer32", "");
    ASSERT_TRUE(server);
    EXPECT_EQ(std::get<std::string>(*server), "/opt/v/Velmora/lib/libVelmora.so");
    const std::string ours = "HKLM\\SOFTWARE\\SolidWorks\\AddIns\\{CBFDE05A-4809-4968-BDA2-9F43FAA93E06}";
    EXPECT_TRUE(registry.key_exists(ours));

    shell::unregister_server(registry);
    EXPECT_FALSE(registry.key_exists(ours));
    EXPECT_FALSE(registry.key_exists(clsid));
    EXPECT_FALSE(registry.key_exists("HKCR\\Velmora.SwAddin"));
    EXPECT_FALSE(registry.key_exists("HKCR\\Velmora.BitmapHandler.1"));
    EXPECT_FALSE(registry.key_exists("HKCR\\AppID\\Velmora.DLL"));
    EXPECT_TRUE(registry.key_exists("HKCR\\AppID"));
    EXPECT_TRUE(registry.key_exists("HKCR\\CLSID"));
    EXPECT_TRUE(registry.key_exists("HKLM\\SOFTWARE\\SolidWorks\\AddIns"));
    const auto* title = registry.value(other, "Title");
    ASSERT_TRUE(title);
    EXPECT_EQ(std::get<std::string>(*title), "Other add-in");
}

// The add-in names the CAD system it runs in, in its user's language;
// SolidWorks keeps the texts it always had.
TEST(Addin, SpeaksTheHostsNameInItsLanguage)
{
    struct Case {
        std::u16string host, language;
        const char* caption;
        const char* text_ends;
        std::u16string title;
    };
    const Case cases[] = {
        {u"FreeCAD", u"English", "FreeCAD is locked.", "FreeCAD is unlocked when the dialog is closed.", u"ZEL export"},
        {u"FreeCAD", u"Russian", "Интерфейс FreeCAD заблокирован.", "интерфейс FreeCAD будет разблокирован.", u"Экспорт ZEL"},
        {u"velmora-host", u"russian", "Интерфейс velmora-host заблокирован.", "будет разблокирован.", u"Экспорт ZEL"},
        {u"velmora-host", u"C", "velmora-host is locked.", "is unlocked when the dialog is closed.", u"ZEL export"},
        {u"SolidWorks", u"english", shell::kLockCaption, "интерфейс SolidWorks будет разблокирован.", u"ZEL SW Plugin"},
    };
    for (const auto& c : cases) {
        memory::MemoryModel model;
        model.application->display_name = c.host;
        model.application->language = c.language;
        const auto words = shell::lock_notice_words(model.application);
        EXPECT_EQ(words.caption, c.caption);
        EXPECT_TRUE(words.text.ends_with(c.text_ends)) << words.text;
        auto addin = make_addin();
        ASSERT_TRUE(addin->connect(model.application, 1));
        EXPECT_EQ(model.application->command_manager->groups.at(0)->title, c.title);
        addin->disconnect();
    }
}
