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

// The notice's thread: show until dismissed or closed, then stop the run.
class MessageThread {
public:
    MessageThread(std::unique_ptr<platform::LockNotice> notice, LockNoticeWords words, std::function<void()> stop)
        : notice_(std::move(notice)), words_(std::move(words)), stop_(std::move(stop))
    {
        thread_ = std::thread([this] {
            notice_->show(words_.caption, words_.text);
            stop_();
        });
    }
    // The notice goes with the run, however the run ends.
    ~MessageThread()
    {
        notice_->close();
        if (thread_.joinable()) thread_.join();
    }

private:
    std::unique_ptr<platform::LockNotice> notice_;
    const LockNoticeWords words_;
    const std::function<void()> stop_;
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

// Stops the run's server from any thread (the notice's, a client's call),
// any number of times. It holds the server weakly: after the run nothing may
// keep it, and with it the handler, the document, the registry and every
// cached mesh, alive.
class RunStop {
public:
    void attach(const std::shared_ptr<TSimpleServer>& server)
    {
        std::lock_guard lock(mutex_);
        server_ = server;
    }
    void operator()()
    {
        std::shared_ptr<TSimpleServer> server;
        {
            std::lock_guard lock(mutex_);
            server = server_.lock();
        }
        // Held by reference, not under the lock: stopping may take a while.
        if (server) server->stop();
    }

private:
    std::mutex mutex_;
    std::weak_ptr<TSimpleServer> server_;
};

// The document locked for as long as the run serves; a failed run too must
// not leave the CAD host locked.
class DocumentLock {
public:
    explicit DocumentLock(cad::DocumentPtr document) : document_(std::move(document)) { document_->lock(); }
    ~DocumentLock() { document_->unlock(); }
    DocumentLock(const DocumentLock&) = delete;
    DocumentLock& operator=(const DocumentLock&) = delete;

private:
    cad::DocumentPtr document_;
};

// The GUI child for as long as the run lasts (none when not started).
class GuiChild {
public:
    GuiChild(const ExportRunOptions& options, int port)
    {
        if (!options.start_gui) return;
        const std::string program =
            options.gui_program.empty() ? gui_path_from_module(platform::own_module_path()) : options.gui_program;
        child_ = start_gui(program, port);
    }
    ~GuiChild() { dispose_of_gui(child_); }
    GuiChild(const GuiChild&) = delete;
    GuiChild& operator=(const GuiChild&) = delete;

private:
    std::optional<bp::child> child_;
};

// The listening socket, closed when the run ends however it ends.
class SocketScope {
public:
    explicit SocketScope(std::shared_ptr<LoopbackServerSocket> socket) : socket_(std::move(socket)) {}
    ~SocketScope() { socket_->close(); }
    SocketScope(const SocketScope&) = delete;
    SocketScope& operator=(const SocketScope&) = delete;

private:
    std::shared_ptr<LoopbackServerSocket> socket_;
};

void run(const cad::ApplicationPtr& application, const ExportRunOptions& options)
{
    auto stop = std::make_shared<RunStop>();
    const std::function<void()> stop_run = [stop] { (*stop)(); };
    auto handler = std::make_shared<CAD_RPC_ServiceHandler>(application, stop_run);
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
    stop->attach(server);
    const SocketScope open(socket);

    // Listen first: a port that cannot be bound then fails the run before
    // anything is locked or started, and a GUI that connects at once finds us.
    socket->listen();
    const int port = socket->bound_port();

    // Undone in reverse order, whether the run ends or fails: the GUI goes,
    // the notice closes, the document is unlocked, the socket closes.
    const DocumentLock lock(handler->document());
    MessageThread message_thread(make_notice(options), lock_notice_words(application), stop_run);
    const GuiChild gui(options, port);
    if (options.on_listening) options.on_listening(port);
    server->serve();
}

}  // namespace

void perform_export_run(const cad::ApplicationPtr& application, const ExportRunOptions& options)
{
    const auto report = options.report ? options.report : platform::MessageBoxFn(platform::show_warning_box);
    try {
        run(application, options);
    } catch (const std::exception& e) {
        report(kUncaughtCaption, e.what());
    } catch (...) {
        report(kUncaughtCaption, "unknown error");
    }
}

}  // namespace velmora::shell
