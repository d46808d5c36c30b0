// velmora-host starts the real Tarvik it finds next to the add-in module,
// from the build tree and from an installed tree, and the run ends the
// normal way when Tarvik's window closes.
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "child_process.h"

using velmora::testing::ChildProcess;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// The first child process of `parent`, or 0.
pid_t child_of(pid_t parent)
{
    const std::vector<pid_t> children = velmora::testing::children_of(parent);
    return children.empty() ? 0 : children.front();
}

// True once the process catches `signal` (its handler is installed).
bool catches(pid_t pid, int signal)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1u;
    return false;
}

void run_with_tarvik(const fs::path& host, const fs::path& expected_gui)
{
    ASSERT_TRUE(fs::exists(host)) << host;
    ChildProcess run({host.string(), "--no-window", "--port", "0", SAMPLE_MODEL},
                     {"QT_QPA_PLATFORM=offscreen", "LC_ALL=C.UTF-8", "LANG=C.UTF-8"});
    // Between its fork and its exec the child is still velmora-host, with
    // velmora-host's handlers: wait for the GUI itself.
    auto is_gui = [&](pid_t pid) {
        std::error_code error;
        return fs::equivalent("/proc/" + std::to_string(pid) + "/exe", expected_gui, error);
    };
    pid_t gui = 0;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < deadline && !(gui && is_gui(gui) && catches(gui, SIGTERM))) {
        if (!gui) gui = child_of(run.pid());
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_NE(gui, 0) << "no GUI was started\n" << run.error_text();
    EXPECT_TRUE(is_gui(gui)) << "the run started something other than " << expected_gui;
    ASSERT_TRUE(catches(gui, SIGTERM)) << run.error_text();

    // The window closes as at the end of a session: Tarvik tells the add-in to
    // stop, and the whole run ends by itself.
    ::kill(gui, SIGTERM);
    EXPECT_EQ(run.wait(60s), std::optional<int>(0)) << run.error_text();
    EXPECT_EQ(::kill(gui, 0), -1) << "Tarvik outlived the run";
    EXPECT_EQ(run.error_text().find("Tarvik: "), std::string::npos) << run.error_text();
}

}  // namespace

TEST(TarvikLayout, TheBuildTreeRunsTheBuiltTarvik) { run_with_tarvik(BUILD_HOST, BUILD_GUI); }

TEST(TarvikLayout, AnInstalledTreeRunsTheInstalledTarvik)
{
    const fs::path root = INSTALL_ROOT;
    ASSERT_TRUE(fs::exists(root / "Tarvik/translations/Tarvik_ru.qm"));
    ASSERT_TRUE(fs::exists(root / "Tarvik/translations/ru.png"));
    run_with_tarvik(root / "bin/velmora-host", root / "Tarvik/bin/Tarvik");
}
