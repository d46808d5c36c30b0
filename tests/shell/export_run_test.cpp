// The export run from the outside: what it starts, serves and leaves behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <thread>

#include <thrift/transport/TTransportException.h>

#include "addin/shell/export_run.h"
#include "addin/shell/loopback_server_socket.h"
#include "cad_rpc_connection.h"
#include "tests/error_of.h"
#include "tests/shell/started_run.h"

using namespace velmora;
using namespace std::chrono_literals;

namespace {

int entries(const char* folder)
{
    int n = 0;
    if (DIR* d = ::opendir(folder)) {
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') ++n;
        ::closedir(d);
    }
    return n;
}
int thread_count() { return entries("/proc/self/task"); }
// Less one: the listing's own descriptor.
int open_descriptors() { return entries("/proc/self/fd") - 1; }

bool port_accepts(int port)
{
    try {
        CAD_RPC::CAD_RPC_Connection c(port);
        return true;
    } catch (const apache::thrift::transport::TTransportException&) {
        return false;
    }
}

// A notice the test answers in place of the user.
struct NoticeProbe {
    platform::LockNotice* notice = nullptr;
    int created = 0;
    std::mutex mutex;
    std::function<std::unique_ptr<platform::LockNotice>()> factory()
    {
        return [this] {
            auto n = std::make_unique<platform::LockNotice>();
            std::lock_guard lock(mutex);
            notice = n.get();
            ++created;
            return n;
        };
    }
};

struct Reports {
    std::mutex mutex;
    std::vector<std::pair<std::string, std::string>> boxes;
    platform::MessageBoxFn fn()
    {
        return [this](const std::string& c, const std::string& t) {
            std::lock_guard lock(mutex);
            boxes.emplace_back(c, t);
        };
    }
};

class ExportRun : public ::testing::Test, protected velmora::testing::StartedRun {
protected:
    void SetUp() override
    {
        out_file = ::testing::TempDir() + "fake_gui_" + std::to_string(::getpid()) + ".txt";
        std::remove(out_file.c_str());
        ::setenv("FAKE_GUI_OUT", out_file.c_str(), 1);
        ::setenv("FAKE_GUI_MODE", "wait", 1);
        model.open_part();
        options.start_gui = true;
        options.gui_program = FAKE_GUI;
        options.make_notice = notices.factory();
        options.report = reports.fn();
        options.on_refused = [this](const std::string& refusal) {
            std::lock_guard lock(refused_mutex);
            refused.push_back(refusal);
        };
    }
    void TearDown() override { end(); }

    // How the fake GUI was started: its pid, argument count, arguments and signals.
    // It writes them whole, once it runs.
    std::vector<std::string> gui_record()
    {
        for (int i = 0; i < 1000 && !std::ifstream(out_file).good(); ++i) std::this_thread::sleep_for(10ms);
        std::vector<std::string> lines;
        std::ifstream f(out_file);
        for (std::string l; std::getline(f, l);) lines.push_back(l);
        return lines;
    }
    // One failed run: its single report, and nothing left behind.
    std::string failed_run()
    {
        const int threads = thread_count(), descriptors = open_descriptors();
        options.on_listening = nullptr;
        shell::perform_export_run(model.application, options);
        EXPECT_EQ(thread_count(), threads);
        EXPECT_EQ(open_descriptors(), descriptors);
        if (const auto& document = model.application->active_document) {
            EXPECT_EQ(document->lock_depth, 0);
        }
        EXPECT_EQ(reports.boxes.size(), 1u);
        if (reports.boxes.empty()) return {};
        EXPECT_EQ(reports.boxes[0].first, "Uncaught exception!");
        return reports.boxes[0].second;
    }

    NoticeProbe notices;
    Reports reports;
    std::vector<std::string> refused;
    std::mutex refused_mutex;
    std::string out_file;
};

}  // namespace

TEST_F(ExportRun, StopRpcServiceEndsTheRunAndReleasesEverythingOfIt)
{
    const int threads_before = thread_count();
    const long document_references = model.application->active_document.use_count();
    const int port = start();
    ASSERT_GT(port, 0);
    {
        CAD_RPC::CAD_RPC_Connection c(port);
        CAD_RPC::Tree tree;
        c.client().get_cad_tree(tree);  // fills the registry of the run
        EXPECT_GT(model.application->active_document.use_count(), document_references);
        c.client().stop_rpc_service();  // answered before the server goes
    }
    ASSERT_TRUE(ended_within(10s));
    EXPECT_TRUE(reports.boxes.empty());
    EXPECT_EQ(notices.created, 1);
    EXPECT_EQ(model.log->count("Document::lock"), 1u);
    EXPECT_EQ(model.log->count("Document::unlock"), 1u);
    EXPECT_FALSE(port_accepts(port));
    EXPECT_EQ(thread_count(), threads_before);
    // The handler, its registry and the document reference went with the run.
    EXPECT_EQ(model.application->active_document.use_count(), document_references);
}

TEST_F(ExportRun, TheGuiGetsThePortAndDismissingTheNoticeEndsItAndTheRun)
{
    const int port = start();
    ASSERT_GT(port, 0);
    const auto rec = gui_record();
    ASSERT_EQ(rec.size(), 4u);
    EXPECT_EQ(rec[1], "1");  // one argument: the port
    EXPECT_EQ(rec[2], std::to_string(port));
    EXPECT_EQ(rec[3], "signals open");
    const pid_t gui = std::stoi(rec[0]);
    ASSERT_EQ(::kill(gui, 0), 0);

    CAD_RPC::CAD_RPC_Connection c(port);
    notices.notice->dismiss();
    ASSERT_TRUE(ended_within(10s));
    EXPECT_EQ(::kill(gui, 0), -1);  // killed and reaped
    EXPECT_EQ(errno, ESRCH);
    EXPECT_THROW(c.client().refresh_display(), apache::thrift::TException);  // a connected client is cut
    EXPECT_EQ(model.application->active_document->lock_depth, 0);
}

TEST_F(ExportRun, HandlerErrorsAreAnsweredAndClientsMayReconnect)
{
    const int port = start();
    ASSERT_GT(port, 0);
    {
        CAD_RPC::CAD_RPC_Connection c(port);
        CAD_RPC::Tree tree;
        c.client().get_cad_tree(tree);
        EXPECT_EQ(tree.nodes.at(tree.root_id).name, "Part");
        tree.nodes.clear();  // a root the add-in cannot find
        EXPECT_THROW(c.client().export_zel(tree, CAD_RPC::Settings{}), apache::thrift::TApplicationException);
    }  // left without stop_rpc_service
    CAD_RPC::CAD_RPC_Connection again(port);
    again.client().stop_rpc_service();
    ASSERT_TRUE(ended_within(10s));
}

TEST_F(ExportRun, FailuresAreReportedOnceAndLeaveNothingBehind)
{
    {
        SCOPED_TRACE("no active document: nothing starts");
        model.application->active_document.reset();
        model.log->clear();
        EXPECT_EQ(failed_run(), "Unable to get Model!");
        EXPECT_EQ(notices.created, 0);
        model.open_part();
    }
    {
        SCOPED_TRACE("the GUI cannot start");
        reports.boxes.clear();
        options.gui_program = "/nonexistent/Tarvik/bin/Tarvik";
        EXPECT_EQ(failed_run().rfind(" CreateProcess failed", 0), 0u);
        EXPECT_EQ(notices.created, 1);
    }
    {
        SCOPED_TRACE("the port is taken: nothing is locked");
        reports.boxes.clear();
        shell::LoopbackServerSocket taken(0);
        taken.listen();
        options.port = taken.bound_port();
        model.log->clear();
        EXPECT_EQ(failed_run().rfind("Could not bind", 0), 0u);
        EXPECT_EQ(model.log->count("Document::lock"), 0u);
        EXPECT_EQ(notices.created, 1);
    }
    EXPECT_FALSE(std::ifstream(out_file).good());  // no GUI ever ran

    EXPECT_EQ(shell::gui_path_from_module("/opt/velmora/Velmora/lib/libVelmora.so"), "/opt/velmora/Tarvik/bin/Tarvik");
    EXPECT_THROW(shell::gui_path_from_module("short"), std::runtime_error);
}

// Another user's client is closed before any call is answered; the user's
// own clients are served before and after, and the refusal leaves nothing.
TEST_F(ExportRun, OnlyTheUsersOwnProgramsAreServed)
{
    const int port = start();
    ASSERT_GT(port, 0);
    auto served = [port] {
        CAD_RPC::CAD_RPC_Connection c(port);
        CAD_RPC::Tree tree;
        c.client().get_cad_tree(tree);
        return tree.nodes.size();
    };
    // Listening, no connection open yet.
    const int threads = thread_count(), descriptors = open_descriptors();
    ASSERT_GT(served(), 0u);
    // The child takes another user's id (the tests run as root in CI) and
    // says how its call went: 0 refused, 1 answered, 77 no other id to take.
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0) ::_exit(77);
        try {
            CAD_RPC::CAD_RPC_Connection c(port);
            CAD_RPC::Tree tree;
            c.client().get_cad_tree(tree);
            ::_exit(1);
        } catch (...) {
            ::_exit(0);
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) {
        CAD_RPC::CAD_RPC_Connection(port).client().stop_rpc_service();
        GTEST_SKIP() << "no other user id can be taken here (the test needs root)";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << "another user's call was answered";
    {
        std::lock_guard lock(refused_mutex);
        EXPECT_EQ(refused, std::vector<std::string>{"refused a connection from user 65534"});
    }
    EXPECT_GT(served(), 0u);
    // The server closes its end of a served connection, and its thread
    // ends, once the client has gone: wait for that (a loaded machine takes
    // its time), then nothing of any connection is left.
    for (int i = 0; i < 500 && (open_descriptors() != descriptors || thread_count() != threads); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_EQ(thread_count(), threads);
    CAD_RPC::CAD_RPC_Connection(port).client().stop_rpc_service();
    ASSERT_TRUE(ended_within(10s));
    EXPECT_TRUE(reports.boxes.empty());
}

// Where netlink sockets are blocked, the kernel's socket tables tell who
// connected; where neither can tell, the client's first call is answered
// with the reason (what Tarvik shows) and the refusal line says it too.
TEST_F(ExportRun, WhoConnectedIsToldWithoutSocketDiagnostics)
{
    for (const char* tables : {"/proc/net", "/nonexistent"}) {
        options.owner_lookup = {false, tables};
        const int port = start();
        ASSERT_GT(port, 0);
        CAD_RPC::Tree tree;
        if (std::string(tables) == "/proc/net") {
            CAD_RPC::CAD_RPC_Connection(port).client().get_cad_tree(tree);
            EXPECT_GT(tree.nodes.size(), 0u);
            CAD_RPC::CAD_RPC_Connection(port).client().stop_rpc_service();
        } else {
            EXPECT_NE(velmora::testing::error_of<apache::thrift::TApplicationException>([&] {
                          CAD_RPC::CAD_RPC_Connection(port).client().get_cad_tree(tree);
                      }).find("could not be told: the kernel's socket diagnostics were not asked, and "
                              "/nonexistent/tcp and tcp6 cannot be read"),
                      std::string::npos);
            platform::close_notice_titled(shell::kLockCaption);
        }
        ASSERT_TRUE(ended_within(10s));
    }
    std::lock_guard lock(refused_mutex);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].rfind("refused a connection whose user could not be told: ", 0), 0u) << refused[0];
}
