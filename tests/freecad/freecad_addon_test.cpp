// The add-on in a real FreeCAD (under Xvfb): its command in every
// workbench, a run served to a test client, the tree and the file checked
// against FreeCAD's own answers, highlights as FreeCAD's selection, the ways
// a run ends, ids across save and reopen, and parity with FreeCAD's STEP.
// One FreeCAD serves every test, in order.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <pugixml.hpp>

#include "cad_rpc_connection.h"
#include "e2e/child_process.h"
#include "e2e/zel_geometry.h"
#include "scratch.h"
#include "export_client/export_client.h"

using namespace std::chrono_literals;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

constexpr const char* kAnswer = "velmora-test: ";

class FreecadAddon : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = fs::path(::testing::TempDir()) / ("velmora-freecad-" + std::to_string(::getpid()));
        freecad_ = start_freecad(dir_);
        ready_ = answer("ready", 180s).has_value();
    }
    // FreeCAD with the driver, in a home of its own under `dir` (FreeCAD's
    // first start), the add-on linked into its user Mod folder as
    // scripts/run-freecad.sh links it; `more` adds to its environment.
    // `addon`: the add-on folder linked into the home's user Mod folder
    // (by default the build's).
    static ChildProcess* start_freecad(const fs::path& dir, std::vector<std::string> more = {},
                                       const std::string& addon = {})
    {
        fs::remove_all(dir);
        const fs::path mods = dir / "home/.local/share/FreeCAD/Mod";
        fs::create_directories(mods);
        fs::create_directory_symlink(addon.empty() ? std::string(ADDON_DIR) : addon, mods / "Velmora");
        const std::string home = (dir / "home").string();
        std::vector<std::string> environment = {
            "HOME=" + home, "XDG_DATA_HOME=" + home + "/.local/share", "XDG_CONFIG_HOME=" + home + "/.config",
            "XDG_CACHE_HOME=" + home + "/.cache", "TMPDIR=" + home, "VELMORA_TEST_DIR=" + dir.string(),
            "VELMORA_TEST_SOURCES=" TEST_SOURCES, "VELMORA_EXAMPLES=" EXAMPLES, "VELMORA_GUI=none", "VELMORA_PORT=0",
            "QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox"};
        environment.insert(environment.end(), more.begin(), more.end());
        return new ChildProcess({FREECAD, DRIVER}, environment, /*piped_input=*/true);
    }
    static void TearDownTestSuite()
    {
        if (!freecad_->wait(0s)) freecad_->send("quit");
        freecad_->wait(30s);
        delete freecad_;
        fs::remove_all(dir_);
    }
    void SetUp() override { ASSERT_TRUE(ready_) << freecad_->error_text(); }
    // A test that failed during a run leaves none behind for the next.
    void TearDown() override
    {
        if (ready_ && state()["running"].toBool()) {
            ask("close-box", "closed");
            settled([](const QJsonObject& s) { return !s["running"].toBool(); });
        }
    }

    // The next answer of that kind, as JSON (null for none).
    static std::optional<QJsonValue> answer(const std::string& kind, std::chrono::seconds timeout = 60s,
                                            ChildProcess* from = freecad_)
    {
        const std::string prefix = kAnswer + kind + " ";
        while (auto line = from->read_line(timeout)) {
            if (line->rfind(kAnswer + std::string("error"), 0) == 0) {
                ADD_FAILURE() << *line;
                return std::nullopt;
            }
            if (line->rfind(prefix, 0) == 0)
                return QJsonDocument::fromJson(QByteArray::fromStdString("[" + line->substr(prefix.size()) + "]"))
                    .array()
                    .at(0);
        }
        ADD_FAILURE() << "FreeCAD gave no " << kind << "; its errors:\n" << from->error_text();
        return std::nullopt;
    }
    static QJsonValue ask(const std::string& command, const std::string& kind)
    {
        freecad_->send(command);
        return answer(kind).value_or(QJsonValue());
    }
    // Runs the command; the port its run serves on.
    static int run()
    {
        // The run before may still be ending.
        settled([](const QJsonObject& s) { return !s["running"].toBool(); });
        freecad_->send("run");
        const int port = serving_port(*freecad_, 60s);
        if (port == 0) ADD_FAILURE() << "no port; FreeCAD's errors:\n" << freecad_->error_text();
        return port;
    }
    static QJsonObject state() { return ask("state", "state").toObject(); }
    // The state once `done` holds of it (FreeCAD takes the run's events on
    // its timer), or after five seconds.
    static QJsonObject settled(const std::function<bool(const QJsonObject&)>& done)
    {
        QJsonObject s;
        for (int i = 0; i < 100 && !done(s = state()); ++i) ::usleep(50000);
        return s;
    }

    static fs::path dir_;
    static ChildProcess* freecad_;
    static bool ready_;
};

fs::path FreecadAddon::dir_;
ChildProcess* FreecadAddon::freecad_ = nullptr;
bool FreecadAddon::ready_ = false;

// The tree's nodes below `id` in order, each with its path of names.
void walk(const CAD_RPC::Tree& tree, int32_t id, const std::string& path,
          const std::function<void(const CAD_RPC::Node&, const std::string&)>& visit)
{
    const auto& node = tree.nodes.at(id);
    for (const int32_t child : node.children_ids) {
        const auto& c = tree.nodes.at(child);
        visit(c, path + "/" + c.name);
        walk(tree, child, path + "/" + c.name, visit);
    }
}

pugi::xml_document load(const fs::path& path)
{
    pugi::xml_document zel;
    EXPECT_TRUE(zel.load_file(path.c_str())) << path;
    return zel;
}

// Exports the whole tree as served, and ends the run.
void export_everything(int port, const fs::path& out)
{
    CAD_RPC::CAD_RPC_Connection connection(port);
    CAD_RPC::Tree tree;
    connection.client().get_cad_tree(tree);
    connection.client().export_zel(tree, every_kind(out.string()));
    connection.client().stop_rpc_service();
}

double size_of(const std::array<double, 6>& b) { return std::hypot(b[3] - b[0], b[4] - b[1], b[5] - b[2]); }

}  // namespace

// FreeCAD starts without the add-in (the command's texts and icon are the
// add-on's own, and agree with the add-in's); its first use loads it. The
// add-on takes Qt through FreeCAD's own PySide, as on FreeCAD's Qt 6 builds.
TEST_F(FreecadAddon, LoadsTheAddinOnFirstUseThroughFreecadsPySide)
{
    const QJsonObject before = ask("addon", "addon").toObject();
    EXPECT_FALSE(before["loaded"].toBool());
    for (const auto& module : before["imports"].toArray())
        EXPECT_FALSE(module.toString().startsWith("PySide2") || module.toString().contains("QtWidgets")) << module.toString().toStdString();
    ASSERT_GT(run(), 0);
    const QJsonObject after = ask("addon", "addon").toObject();
    EXPECT_TRUE(after["loaded"].toBool());
    EXPECT_EQ(after["own"], after["addin"]);
    settled([](const QJsonObject& s) { return !s["boxes"].toArray().isEmpty(); });
    ask("close-box", "closed");
    EXPECT_TRUE(settled([](const QJsonObject& s) { return !s["running"].toBool() && s["enabled"].toBool(); })["enabled"].toBool());
}

TEST_F(FreecadAddon, TheCommandIsInEveryWorkbenchWithItsIcon)
{
    for (const char* workbench : {"PartWorkbench", "PartDesignWorkbench", "SketcherWorkbench"}) {
        const QJsonObject shown = ask(std::string("workbench ") + workbench, "workbench").toObject();
        EXPECT_TRUE(shown["toolbars"].toArray().contains("ZEL export")) << workbench;
        EXPECT_TRUE(shown["menus"].toArray().contains("ZEL export")) << workbench;
        EXPECT_TRUE(shown["icon"].toBool()) << workbench;
        EXPECT_TRUE(shown["enabled"].toBool()) << workbench;
    }
}

TEST_F(FreecadAddon, ARunServesWhatFreecadShowsAndLocksTheDocument)
{
    const QJsonObject truth = ask("truth", "truth").toObject();
    const int port = run();
    ASSERT_GT(port, 0);
    // FreeCAD updates its commands' state on a timer of its own.
    const QJsonObject during =
        settled([](const QJsonObject& s) { return !s["boxes"].toArray().isEmpty() && !s["enabled"].toBool(); });
    EXPECT_TRUE(during["running"].toBool());
    EXPECT_FALSE(during["enabled"].toBool()) << "the command is enabled during its run";
    ASSERT_EQ(during["boxes"].toArray().size(), 1);
    const QJsonArray box = during["boxes"].toArray()[0].toArray();
    EXPECT_EQ(box[0].toString().toStdString(), "FreeCAD is locked.");
    EXPECT_EQ(box[1].toString().toStdString(),
              "Do not close this dialog until you have finished working with the plugin.\n"
              "FreeCAD is unlocked when the dialog is closed.");
    EXPECT_TRUE(box[2].toBool()) << "the notice is not modal";

    CAD_RPC::Tree tree;
    const fs::path out = dir_ / "test.zel";
    {
        CAD_RPC::CAD_RPC_Connection connection(port);
        connection.client().get_cad_tree(tree);
        connection.client().export_zel(tree, every_kind(out.string()));
        connection.client().stop_rpc_service();
    }
    // The top level as FreeCAD's model tree shows it.
    std::vector<std::string> top;
    for (const int32_t id : tree.nodes.at(tree.root_id).children_ids) top.push_back(tree.nodes.at(id).name);
    std::vector<std::string> shown_top;
    for (const auto& label : truth["top"].toArray()) shown_top.push_back(label.toString().toStdString());
    EXPECT_EQ(top, shown_top);
    // Hidden as in FreeCAD: a hidden object and a hidden link element, with what is below them.
    std::set<std::string> hidden;
    walk(tree, tree.root_id, "", [&](const CAD_RPC::Node& n, const std::string& path) {
        if (!n.is_visible) hidden.insert(path);
    });
    // Hidden as in FreeCAD, where the tree tells it (curves and points): by
    // the object's group and by its link array's element.
    EXPECT_EQ(hidden, (std::set<std::string>{"/Hidden group/Inner line/Inner line", "/Line array/LineArray_i1/Линия"}));

    // Every solid as FreeCAD's own placed shape, in the tree's order.
    const pugi::xml_document zel = load(out);
    const auto solids = zel_solids(zel);
    std::size_t next = 0;
    int curves = 0, points = 0;
    for (const auto& node : truth["nodes"].toArray()) {
        const QJsonObject n = node.toObject();
        const std::string path = n["path"].toString().toStdString();
        curves += n["curves"].toInt();
        points += n["points"].toInt();
        for (const auto& s : n["solids"].toArray()) {
            const QJsonObject expected = s.toObject();
            ASSERT_LT(next, solids.size()) << path;
            const ZelSolid& got = solids[next++];
            std::array<double, 6> box{};
            for (int k = 0; k < 6; ++k) box[static_cast<std::size_t>(k)] = expected["box"].toArray()[k].toDouble() / 1000;
            const double size = size_of(box);
            const double volume = expected["volume"].toDouble() * 1e-9;
            EXPECT_NEAR(got.volume(), volume, 1e-6 * volume) << path << " (a mesh inside out is negative)";
            EXPECT_TRUE(watertight(got.triangles)) << path;
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(got.mip.at(static_cast<std::size_t>(k)), expected["centre"].toArray()[k].toDouble() / 1000,
                            1e-6 * size)
                    << path << " centre " << k;
            const auto got_box = got.box();
            for (std::size_t k = 0; k < 6; ++k) EXPECT_NEAR(got_box[k], box[k], 1e-6 * size) << path << " box " << k;
            const QJsonArray colour = expected["colour"].toArray();
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(got.colour[static_cast<std::size_t>(k)], static_cast<int>(colour[k].toDouble() * 255.0))
                    << path << " colour " << k;
        }
    }
    EXPECT_EQ(next, solids.size());
    EXPECT_EQ(zel.select_nodes("//line").size(), static_cast<std::size_t>(curves));
    EXPECT_EQ(zel.select_nodes("//point").size(), static_cast<std::size_t>(points));

    const QJsonObject after =
        settled([](const QJsonObject& s) { return !s["running"].toBool() && s["enabled"].toBool(); });
    EXPECT_FALSE(after["running"].toBool()) << "stop_rpc_service did not end the run";
    EXPECT_TRUE(after["boxes"].toArray().isEmpty());
    EXPECT_TRUE(after["enabled"].toBool());
    EXPECT_FALSE(after["modified"].toBool()) << "the run modified the document";
    EXPECT_TRUE(after["touched"].toArray().isEmpty()) << "the run touched objects";
}

TEST_F(FreecadAddon, HighlightsAreFreecadsSelection)
{
    const int port = run();
    ASSERT_GT(port, 0);
    {
        CAD_RPC::CAD_RPC_Connection connection(port);
        CAD_RPC::Tree tree;
        connection.client().get_cad_tree(tree);
        std::map<std::string, int32_t> ids;
        walk(tree, tree.root_id, "", [&](const CAD_RPC::Node& n, const std::string& path) { ids[path] = n.id; });
        // FreeCAD's selection once it has taken the redraw (on its next timer tick).
        auto selection_becomes = [&](const std::set<std::string>& expected) {
            std::set<std::string> seen;
            for (int i = 0; i < 60; ++i) {
                seen.clear();
                for (const auto& s : ask("selection", "selection").toArray())
                    seen.insert(s.toArray()[0].toString().toStdString() + ":" + s.toArray()[1].toString().toStdString());
                if (seen == expected) break;
                ::usleep(50000);
            }
            return seen;
        };
        auto highlight = [&](const std::string& path, bool on) {
            connection.client().set_highlight_status_of_ids({ids.at(path)}, on);
            connection.client().refresh_display();
        };
        // A component is its whole object, a body its solid, a curve its edge, a point its vertex.
        const std::vector<std::pair<std::string, std::set<std::string>>> cases = {
            {"/Рама", {"Frame:"}},
            {"/LinkComposing/Inner part", {"LinkComposing:Inner."}},
            {"/Пара/Body2", {"Pair:Face7", "Pair:Face8", "Pair:Face9", "Pair:Face10", "Pair:Face11", "Pair:Face12"}},
            {"/Линия/Линия", {"Line:Edge1"}},
            {"/Точка/Точка", {"Point:Vertex1"}},
        };
        for (const auto& [path, selected] : cases) {
            highlight(path, true);
            EXPECT_EQ(selection_becomes(selected), selected) << path;
            highlight(path, false);
            EXPECT_EQ(selection_becomes({}), std::set<std::string>{}) << path << " stays selected";
        }
        connection.client().stop_rpc_service();
    }
}

// Also: closing the box ends a run as stop_rpc_service does.
TEST_F(FreecadAddon, PersistentIdsSurviveSavingAndReopening)
{
    auto ids_by_path = [](bool ended_by_box) {
        std::map<std::string, std::string> out;
        const int port = run();
        EXPECT_GT(port, 0);
        {
            CAD_RPC::CAD_RPC_Connection connection(port);
            CAD_RPC::Tree tree;
            connection.client().get_cad_tree(tree);
            std::vector<int32_t> ids;
            std::vector<std::string> paths;
            walk(tree, tree.root_id, "", [&](const CAD_RPC::Node& n, const std::string& path) {
                ids.push_back(n.id);
                paths.push_back(path);
            });
            std::vector<std::string> persistent;
            connection.client().get_persistent_ids(persistent, ids);
            for (std::size_t i = 0; i < ids.size() && i < persistent.size(); ++i) out[paths[i]] = persistent[i];
            if (!ended_by_box) connection.client().stop_rpc_service();
        }
        if (ended_by_box) {
            settled([](const QJsonObject& s) { return !s["boxes"].toArray().isEmpty(); });
            ask("close-box", "closed");
        }
        const QJsonObject after =
            settled([](const QJsonObject& s) { return !s["running"].toBool() && s["enabled"].toBool(); });
        EXPECT_FALSE(after["running"].toBool());
        EXPECT_TRUE(after["enabled"].toBool());
        EXPECT_FALSE(after["modified"].toBool());
        return out;
    };
    const auto before = ids_by_path(false);
    ask("reopen", "reopened");
    const auto after = ids_by_path(true);
    EXPECT_GT(before.size(), 30u);
    EXPECT_EQ(before, after);
}

// Last: it replaces the test document by the sample.
// A document with no display: velmora-host reads it through FreeCAD's
// freecadcmd and writes the file the command writes for the same saved
// document (colours, groups, links into another file); a linked file that
// is missing, and a link into its own group, are said, and nothing is written.
TEST_F(FreecadAddon, WithoutADisplayWritesWhatTheCommandWrites)
{
    ask("reopen", "reopened");
    const int port = run();
    ASSERT_GT(port, 0);
    const fs::path by_command = dir_ / "command.zel", headless = dir_ / "headless.zel";
    {
        CAD_RPC::CAD_RPC_Connection connection(port);
        CAD_RPC::Settings settings = tarvik::default_settings();
        settings.save_filepath = by_command.string();
        tarvik::export_model(connection.client(), settings);
        connection.client().stop_rpc_service();
    }
    auto export_headless = [](const fs::path& document, const fs::path& out) {
        ChildProcess host({VELMORA_HOST, "--export", out.string(), document.string()});
        return std::make_pair(host.wait(120s).value_or(-1), host.error_text());
    };
    const auto [code, errors] = export_headless(dir_ / "test.FCStd", headless);
    ASSERT_EQ(code, 0) << errors;
    const std::string got = read_text(headless), expected = read_text(by_command);
    const auto [at, _] = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
    EXPECT_TRUE(got == expected) << "differs after: " << std::string(std::max(got.begin(), at - 300), at);
    EXPECT_GT(zel_solids(load(headless)).size(), 20u);

    // A script's document: its App::Part lists its group's box as its own
    // too; the model tree, and the file, show it once.
    const fs::path scripted = dir_ / "scripted.FCStd";
    ChildProcess script({FREECADCMD, TEST_SOURCES "/scripted_document.py"}, {"VELMORA_OUT=" + scripted.string()});
    ASSERT_EQ(script.wait(120s), 0);
    ASSERT_EQ(export_headless(scripted, dir_ / "scripted.zel").first, 0);
    EXPECT_EQ(zel_solids(load(dir_ / "scripted.zel")).size(), 1u);

    fs::create_directory(dir_ / "moved");
    fs::copy_file(dir_ / "test.FCStd", dir_ / "moved/test.FCStd");
    const std::string loop = ask("loop", "loop").toString().toStdString();
    for (const auto& [document, said] : std::vector<std::pair<fs::path, std::string>>{
             {dir_ / "moved/test.FCStd", (dir_ / "moved/parts/fasteners.FCStd").string() + ", which could not be opened"},
             {loop, "the model tree loops: Loop link is inside itself"}}) {
        const auto [failed, why] = export_headless(document, dir_ / "refused.zel");
        EXPECT_EQ(failed, 2) << why;
        EXPECT_NE(why.find(said), std::string::npos) << why;
        EXPECT_FALSE(fs::exists(dir_ / "refused.zel"));
    }
}

TEST_F(FreecadAddon, TheSampleGivesWhatItsStepGivesInVelmoraHost)
{
    ask("sample", "sample");
    const int port = run();
    ASSERT_GT(port, 0);
    const fs::path from_freecad = dir_ / "sample_freecad.zel", from_step = dir_ / "sample_step.zel";
    export_everything(port, from_freecad);
    // The same export of the STEP file in velmora-host.
    ChildProcess host({VELMORA_HOST, "--no-window", "--no-gui", "--port", "0", (dir_ / "sample.step").string()});
    const int host_port = serving_port(host);
    ASSERT_GT(host_port, 0) << host.error_text();
    export_everything(host_port, from_step);
    EXPECT_EQ(host.wait(60s), 0) << host.error_text();

    // Solids by centre, so that no order of the two trees matters.
    auto solids_of = [](const fs::path& path) {
        std::map<std::array<long, 3>, std::pair<std::string, double>> out;
        for (const auto& s : zel_solids(load(path)))
            out[{std::lround(s.mip[0] * 1e5), std::lround(s.mip[1] * 1e5), std::lround(s.mip[2] * 1e5)}] = {s.name,
                                                                                                          s.volume()};
        return out;
    };
    const auto freecad = solids_of(from_freecad), step = solids_of(from_step);
    ASSERT_EQ(freecad.size(), 11u);
    ASSERT_EQ(freecad.size(), step.size());
    for (auto f = freecad.begin(), s = step.begin(); f != freecad.end(); ++f, ++s) {
        EXPECT_EQ(f->first, s->first) << f->second.first;
        EXPECT_EQ(f->second.first, s->second.first);
        // The meshes of the two ways differ; both are within the mesh's tolerance.
        EXPECT_NEAR(f->second.second, s->second.second, 0.005 * s->second.second) << f->second.first;
    }
    auto names_of = [](const fs::path& path, const char* kind) {
        std::multiset<std::string> out;
        for (const auto& x : load(path).select_nodes(kind)) out.insert(x.node().attribute("name").value());
        return out;
    };
    EXPECT_EQ(names_of(from_freecad, "//line"), names_of(from_step, "//line"));
    EXPECT_EQ(names_of(from_freecad, "//point"), names_of(from_step, "//point"));
}

// In a FreeCAD whose interface speaks Russian, so does the add-in.
TEST_F(FreecadAddon, SpeaksTheLanguageOfFreecadsInterface)
{
    const std::unique_ptr<ChildProcess> russian(
        start_freecad(dir_.string() + "-ru", {"LANG=ru_RU.UTF-8", "LC_ALL=ru_RU.UTF-8"}));
    auto ask_it = [&](const std::string& command, const std::string& kind) {
        russian->send(command);
        return answer(kind, 60s, russian.get()).value_or(QJsonValue());
    };
    ASSERT_TRUE(answer("ready", 180s, russian.get()));
    EXPECT_TRUE(ask_it("workbench PartWorkbench", "workbench").toObject()["menus"].toArray().contains("Экспорт ZEL"));
    ask_it("run", "ran");
    QJsonArray boxes;
    for (int i = 0; i < 100 && boxes.isEmpty(); ++i, ::usleep(50000))
        boxes = ask_it("state", "state").toObject()["boxes"].toArray();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0].toArray()[0].toString(), QString("Интерфейс FreeCAD заблокирован."));
    ask_it("close-box", "closed");
    russian->send("quit");
    russian->wait(30s);
    fs::remove_all(dir_.string() + "-ru");
}

// The Debian package as users install it: it links its add-on into
// FreeCAD's system Mod folder and its programs onto the PATH; unpacked into
// a folder of the test's (its add-on linked as the package links it), FreeCAD
// finds the command there, and its run loads the package's own add-in.
TEST_F(FreecadAddon, RunsFromItsDebianPackage)
{
    const fs::path packaged = dir_.string() + "-package", root = packaged / "root";
    fs::remove_all(packaged);
    ChildProcess cpack({CPACK, "-G", "DEB", "-B", packaged.string(), "--config", BUILD_DIR "/CPackConfig.cmake"});
    ASSERT_EQ(cpack.wait(300s), 0) << cpack.error_text();
    std::string deb;
    for (const auto& entry : fs::directory_iterator(packaged))
        if (entry.path().extension() == ".deb") deb = entry.path().string();
    ASSERT_FALSE(deb.empty());
    ChildProcess list({"/usr/bin/dpkg-deb", "--contents", deb});
    std::string contents;
    while (auto line = list.read_line(30s)) contents += *line + "\n";
    for (const char* entry : {"./usr/share/freecad/Mod/Velmora -> /opt/velmora/FreeCAD/Mod/Velmora",
                              "./usr/bin/velmora-host -> /opt/velmora/bin/velmora-host",
                              "./usr/bin/velmora-cluster-batch -> /opt/velmora/bin/velmora-cluster-batch",
                              "./opt/velmora/Tarvik/translations/Tarvik_ru.qm", "./opt/velmora/FreeCAD/Mod/Velmora/package.xml"})
        EXPECT_NE(contents.find(entry), std::string::npos) << entry;
    ChildProcess unpack({"/usr/bin/dpkg-deb", "--extract", deb, root.string()});
    ASSERT_EQ(unpack.wait(60s), 0) << unpack.error_text();

    const std::string addon = (root / "opt/velmora/FreeCAD/Mod/Velmora").string();
    const std::unique_ptr<ChildProcess> freecad(start_freecad(dir_.string() + "-installed", {}, addon));
    auto ask_it = [&](const std::string& command, const std::string& kind) {
        freecad->send(command);
        return answer(kind, 60s, freecad.get()).value_or(QJsonValue());
    };
    ASSERT_TRUE(answer("ready", 180s, freecad.get()));
    EXPECT_TRUE(ask_it("workbench PartWorkbench", "workbench").toObject()["enabled"].toBool());
    ask_it("run", "ran");
    const QJsonObject loaded = ask_it("addon", "addon").toObject();
    EXPECT_EQ(loaded["folder"].toString().toStdString(), addon);
    EXPECT_EQ(loaded["addin_path"].toString().toStdString(), (root / "opt/velmora/Velmora/lib/libVelmora.so").string());
    for (int i = 0; i < 100 && ask_it("state", "state").toObject()["boxes"].toArray().isEmpty(); ++i) ::usleep(50000);
    ask_it("close-box", "closed");
    freecad->send("quit");
    freecad->wait(30s);
    fs::remove_all(packaged);
    fs::remove_all(dir_.string() + "-installed");
}

// Quit as a user quits: FreeCAD saves its settings, and nothing of the
// add-on is in them (an uninstalled add-on leaves no toolbar behind).
TEST_F(FreecadAddon, LeavesNothingInFreecadsSettings)
{
    freecad_->send("quit-window");
    EXPECT_EQ(freecad_->wait(60s), 0) << freecad_->error_text();
    ready_ = false;  // no FreeCAD to ask any more
    int settings = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir_ / "home"))
        if (entry.path().filename() == "user.cfg") {
            ++settings;
            EXPECT_EQ(read_text(entry.path()).find("Velmora"), std::string::npos) << entry.path();
        }
    EXPECT_EQ(settings, 1);
}
