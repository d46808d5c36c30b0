#include "export_run.h"

#include <cstdio>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/process/child.hpp>
#include <boost/process/extend.hpp>
#include <cerrno>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <thread>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/server/TSimpleServer.h>
#include <thrift/transport/TBufferTransports.h>

#include "CAD_RPC_Service.h"
#include "cad_rpc_connection.h"
#include "host_interface/application.h"
#include "host_interface/document.h"
#include "host_interface/install_layout.h"
#include "addin/platform/box_notice.h"
#include "addin/platform/module_path.h"
#include "addin/platform/terminal_notice.h"
#include "cad_rpc_service_handler.h"
#include "current_server.h"
#include "host_words.h"
#include "loopback_server_socket.h"

namespace velmora::shell {
namespace bp = boost::process;
using apache::thrift::protocol::TBinaryProtocolFactory;
using apache::thrift::server::TSimpleServer;

// The library's binary protocol with bounds on announced container and
// string sizes, reading only messages with a version header (every client
// of this contract writes one; without it any four bytes are a name length).
std::shared_ptr<apache::thrift::protocol::TBinaryProtocolFactory> make_protocol_factory()
{
    return std::make_shared<TBinaryProtocolFactory>(CAD_RPC::kMaxStringSize, CAD_RPC::kMaxContainerSize,
                                                    /*strict_read=*/true, /*strict_write=*/true);
}

namespace {

// Buffered like the library's own, with 64 kB buffers instead of 512 bytes:
// a tree of 100,000 nodes is 5.6 MB, eleven thousand system calls at 512.
class LargeBufferedTransportFactory : public apache::thrift::transport::TTransportFactory {
public:
    std::shared_ptr<apache::thrift::transport::TTransport> getTransport(
        std::shared_ptr<apache::thrift::transport::TTransport> transport) override
    {
        return std::make_shared<apache::thrift::transport::TBufferedTransport>(transport, 64 * 1024, 64 * 1024);
    }
};

}  // namespace

std::shared_ptr<apache::thrift::transport::TTransportFactory> make_transport_factory()
{
    return std::make_shared<LargeBufferedTransportFactory>();
}

std::string gui_path_from_module(const std::string& module_path)
{
    const std::size_t cut = std::strlen(cad::kAddinModulePath);
    if (module_path.size() < cut) throw std::runtime_error(" CreateProcess failed: add-in module path '" + module_path + "' is too short");
    return cad::gui_program_in(module_path.substr(0, module_path.size() - cut));
}

ExportRunOptions run_options_from(cad::RunSettings settings)
{
    ExportRunOptions options;
    options.port = settings.port;
    options.start_gui = settings.start_gui;
    options.gui_program = std::move(settings.gui_program);
    options.notice_boxes = std::move(settings.notice_boxes);
    if (const auto events = settings.events) {
        options.on_listening = [events](int port) { events->listening(port); };
        options.on_refused = [events](const std::string& refusal) { events->refused(refusal); };
        options.report = [events](const std::string& caption, const std::string& text) { events->failed(caption, text); };
    }
    return options;
}

namespace {

// The notice's thread: show until dismissed or closed, then stop the server.
class MessageThread {
public:
    MessageThread(std::unique_ptr<platform::LockNotice> notice, LockNoticeWords words)
        : notice_(std::move(notice)), words_(std::move(words))
    {
        thread_ = std::thread([this] {
            notice_->show(words_.caption, words_.text);
            stop_current_server();
        });
    }
    // Ends the thread on the add-in's initiative (a failure after it started).
    void close_and_join()
    {
        notice_->close();
        if (thread_.joinable()) thread_.join();
    }
    ~MessageThread() { close_and_join(); }

private:
    std::unique_ptr<platform::LockNotice> notice_;
    const LockNoticeWords words_;
    std::thread thread_;
};

std::unique_ptr<platform::LockNotice> make_notice(const ExportRunOptions& options)
{
    if (options.make_notice) return options.make_notice();
    if (options.notice_boxes) return std::make_unique<platform::BoxNotice>(options.notice_boxes);
    return std::make_unique<platform::TerminalNotice>();
}

// The GUI must not inherit the add-in's sockets: a GUI that outlives the run
// would otherwise keep the port. Nor the host's blocked signals: a GUI that
// SIGINT or SIGTERM could not end would outlive every attempt to close it.
struct CloseInheritedDescriptors : bp::extend::handler {
    template <class Executor>
    void on_exec_setup(Executor&) const
    {
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        const long max_fd = ::sysconf(_SC_OPEN_MAX);
        for (int fd = 3; fd < max_fd && fd < 65536; ++fd) {
            int flags = ::fcntl(fd, F_GETFD);
            if (flags >= 0) ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
        }
    }
};

std::optional<bp::child> start_gui(const std::string& program, int port)
{
    try {
        return bp::child(program, std::to_string(port), CloseInheritedDescriptors{});
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string(" CreateProcess failed: ") + program + ": " + e.what());
    }
}

void dispose_of_gui(std::optional<bp::child>& gui)
{
    if (!gui) return;
    // Reap it ourselves: boost's terminate() leaves a zombie behind.
    const pid_t pid = gui->id();
    gui->detach();
    gui.reset();
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == 0) {
        // Still running: TerminateProcess's counterpart.
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

// The current server for as long as the run lasts. Afterwards nothing may
// keep it, and with it the handler, the document, the registry and every
// cached mesh, alive.
class CurrentServerScope {
public:
    explicit CurrentServerScope(std::shared_ptr<TSimpleServer> server) { set_current_server(std::move(server)); }
    ~CurrentServerScope() { set_current_server(nullptr); }
    CurrentServerScope(const CurrentServerScope&) = delete;
    CurrentServerScope& operator=(const CurrentServerScope&) = delete;
};

void run(const cad::ApplicationPtr& application, const ExportRunOptions& options)
{
    auto handler = std::make_shared<CAD_RPC_ServiceHandler>(application);
    cad::DocumentPtr document = handler->document();
    auto processor = std::make_shared<CAD_RPC::CAD_RPC_ServiceProcessor>(handler);
    auto socket = std::make_shared<LoopbackServerSocket>(
        options.port,
        [&options](const std::string& refusal) {
            if (options.on_refused)
                options.on_refused(refusal);
            else
                std::fprintf(stderr, "Velmora: %s\n", refusal.c_str());
        },
        options.owner_lookup);
    auto server = std::make_shared<TSimpleServer>(processor, socket, make_transport_factory(),
                                                  make_protocol_factory());
    const CurrentServerScope current(server);

    // Listen first: a port that cannot be bound then fails the run before
    // anything is locked or started, and a GUI that connects at once finds us.
    socket->listen();
    const int port = socket->bound_port();

    document->lock();
    std::optional<bp::child> gui;
    try {
        MessageThread message_thread(make_notice(options), lock_notice_words(application));
        try {
            if (options.start_gui) {
                const std::string program = options.gui_program.empty()
                                                ? gui_path_from_module(platform::own_module_path())
                                                : options.gui_program;
                gui = start_gui(program, port);
            }
            if (options.on_listening) options.on_listening(port);
            server->serve();
        } catch (...) {
            message_thread.close_and_join();
            server->stop();
            throw;
        }
        document->unlock();
        // Normally the notice has gone already; if the serve loop ended on
        // its own, the notice must not outlive the run.
        message_thread.close_and_join();
    } catch (...) {
        // A failed run must not leave the CAD host locked.
        if (document) document->unlock();
        dispose_of_gui(gui);
        socket->close();
        throw;
    }
    dispose_of_gui(gui);
    socket->close();
}

}  // namespace

void perform_export_run(const cad::ApplicationPtr& application, const ExportRunOptions& options)
{
    const auto report = options.report ? options.report : platform::MessageBoxFn(platform::show_warning_box);
    try {
        run(application, options);
    } catch (const std::exception& e) {
        if (options.on_failed) options.on_failed();
        report(kUncaughtCaption, e.what());
    } catch (...) {
        if (options.on_failed) options.on_failed();
        report(kUncaughtCaption, "unknown error");
    }
}

}  // namespace velmora::shell
