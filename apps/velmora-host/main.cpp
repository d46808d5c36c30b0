// velmora-host: plays the CAD host on Linux. Opens a model as the active
// document, loads the add-in module and performs its "Export ZEL" command:
// in a CAD window that shows the model when a display is there (and ends
// when the window closes), else without one (and ends when the run ends).
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstring>
#include <map>
#include <sstream>
#include <vector>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <array>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <condition_variable>
#include <mutex>

#include <Message.hxx>
#include <Message_PrinterOStream.hxx>

#include <QApplication>
#include <QStatusBar>

#include "addin/cad/host/application.h"
#include "gui/tarvik_export/export_client.h"
#include "hosts/occt/occt_names.h"
#include "cad_rpc_connection.h"
#include "cad_window.h"
#include "common/signal_closer.h"
#include "host_session.h"
#include "notice_boxes.h"

// Last: its macros (None, Bool, Status) would break the headers above.
#include <X11/Xlib.h>

using namespace velmora;

namespace {

constexpr const char* kUsage =
    "usage: velmora-host [--port N] [--no-gui | --gui PATH] [--no-window | --no-command] [--geometry WxH+X+Y]\n"
    "                    [--density D] [--quality Q] [--codepage NAME] [--addin PATH] [--verbose] MODEL\n"
    "       velmora-host --export OUT.zel [--only LIST] [--all-visible] [--emc CONFIG.emc] [--single-mip] [--templates]\n"
    "                    [--density D] [--quality Q] [--codepage NAME] [--addin PATH] [--verbose] MODEL\n"
    "       velmora-host --export-dir DIR [-j N] [the options of --export] MODEL...\n"
    "  MODEL         a .step/.stp, .igs/.iges or .brep file (BREP in millimetres)\n"
    "  --port N      port to serve on (default 9090; 0 takes a free one)\n"
    "  --no-gui      start no GUI: print the port and serve any client\n"
    "  --gui PATH    the GUI program to start (default: Tarvik next to the add-in)\n"
    "  --no-window   no CAD window even with a display: run the command once and end\n"
    "  --no-command  open the CAD window and wait for the command to be clicked\n"
    "  --geometry G  the CAD window's size and place, as WxH+X+Y\n"
    "  --density D   density for mass properties in kg/m^3 (default 1000)\n"
    "  --quality Q   mesh accuracy: coarse, standard (default), fine or extrafine\n"
    "  --codepage NAME  the code page of the model's 8-bit names: windows-1250 to\n"
    "                windows-1258, iso-8859-1 to iso-8859-9 or utf-8 (default: UTF-8\n"
    "                where valid, else the code page of the locale's language)\n"
    "  --addin PATH  the add-in module (default: ../Velmora/lib/libVelmora.so from this program)\n"
    "  --verbose     report what the host does\n"
    "  --export OUT  export MODEL to OUT as Tarvik's \"Export\" does, without any window\n"
    "  --only LIST   with --export: only these of solids,curves,points,mips (default: all)\n"
    "  --all-visible with --export: every object exported as visible\n"
    "  --emc FILE    with --export: apply this EMC configuration, as \"EMC Tool\" does\n"
    "  --single-mip  with --export: one MIP per parent for an EMC item's small solids\n"
    "  --templates   with --export: each repeated solid written once, placed by reference\n"
    "  --export-dir DIR  export each MODEL to DIR/<its name>.zel, each in a process of its own\n"
    "  -j N          with --export-dir: N models at a time (default: one per core)\n";

[[noreturn]] void bad_usage(const std::string& message)
{
    std::cerr << "velmora-host: " << message << "\n" << kUsage;
    std::exit(2);
}

std::string own_directory()
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    buf[n] = '\0';
    return std::filesystem::path(buf).parent_path().string();
}

// Progress is for a person at a terminal; a script's log stays quiet.
bool progress_shown() { return ::isatty(STDERR_FILENO) == 1; }

// One line on the terminal that shows how far reading and meshing have come.
class ProgressLine {
public:
    ProgressLine() : tty_(progress_shown()) {}
    ~ProgressLine() { finish(); }
    void operator()(const std::string& stage, double fraction)
    {
        if (stage != stage_) {
            finish();
            stage_ = stage;
        }
        if (tty_) {
            std::fprintf(stderr, "\rvelmora-host: %s %3d%%", stage.c_str(), static_cast<int>(fraction * 100.0 + 0.5));
            std::fflush(stderr);
            open_ = true;
        }
    }
    void finish()
    {
        if (open_) std::fputc('\n', stderr);
        open_ = false;
    }

private:
    bool tty_;
    bool open_ = false;
    std::string stage_;
};

// A whole argument as a number, whatever the locale; false for anything else.
template <class Number>
bool parse_number(const std::string& text, Number& out)
{
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, out);
    return !text.empty() && error == std::errc() && rest == end;
}

struct Arguments {
    int port = 9090;
    bool no_gui = false, verbose = false, no_window = false, no_command = false;
    std::string gui, model_path, addin_path, codepage;
    // The headless export: where to, and Tarvik's settings.
    std::string export_path, emc_path;
    // The batch: where to, how many at a time, the models, and the options
    // each model's own export takes.
    std::string export_dir;
    unsigned jobs = 0;
    std::vector<std::string> models, passed;
    CAD_RPC::Settings settings = tarvik::default_settings();
    std::optional<std::array<int, 4>> geometry;  // width, height, x, y
    double density = 1000.0;
    occt::MeshQuality quality = occt::MeshQuality::Standard;
};

// "WxH+X+Y"
std::optional<std::array<int, 4>> parse_geometry(const std::string& text)
{
    std::array<int, 4> g{};
    const char* p = text.data();
    const char* const end = p + text.size();
    const char separators[] = {'x', '+', '+'};
    for (std::size_t i = 0; i < 4; ++i) {
        const auto [rest, error] = std::from_chars(p, end, g[i]);
        if (error != std::errc() || g[i] < 0) return std::nullopt;
        p = rest;
        if (i < 3) {
            if (p == end || *p != separators[i]) return std::nullopt;
            ++p;
        }
    }
    if (p != end || g[0] == 0 || g[1] == 0) return std::nullopt;
    return g;
}

Arguments parse_arguments(int argc, char** argv)
{
    Arguments a;
    for (int i = 1; i < argc; ++i) {
        const int first = i;
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) bad_usage(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--port") {
            if (!parse_number(value(), a.port) || a.port < 0 || a.port > 65535) bad_usage("bad port");
        } else if (arg == "--no-gui") {
            a.no_gui = true;
        } else if (arg == "--gui") {
            a.gui = value();
        } else if (arg == "--no-window") {
            a.no_window = true;
        } else if (arg == "--no-command") {
            a.no_command = true;
        } else if (arg == "--geometry") {
            if (!(a.geometry = parse_geometry(value()))) bad_usage("bad geometry (use WxH+X+Y)");
        } else if (arg == "--density") {
            if (!parse_number(value(), a.density) || !(a.density > 0)) bad_usage("bad density");
        } else if (arg == "--quality") {
            const auto quality = occt::quality_named(value());
            if (!quality) bad_usage("bad quality (use coarse, standard, fine or extrafine)");
            a.quality = *quality;
        } else if (arg == "--codepage") {
            a.codepage = value();
            if (!occt::code_page_named(a.codepage)) bad_usage("unknown code page " + a.codepage);
        } else if (arg == "--addin") {
            a.addin_path = value();
        } else if (arg == "--export") {
            a.export_path = value();
        } else if (arg == "--export-dir") {
            a.export_dir = value();
            continue;
        } else if (arg == "-j") {
            if (!parse_number(value(), a.jobs) || a.jobs == 0) bad_usage("bad number of jobs");
            continue;
        } else if (arg == "--only") {
            if (!tarvik::set_exported_kinds(value(), a.settings))
                bad_usage("--only names none of solids, curves, points, mips");
        } else if (arg == "--all-visible") {
            a.settings.visibility_settings = CAD_RPC::VisibilitySettings::AllAsVisible;
        } else if (arg == "--emc") {
            a.emc_path = value();
        } else if (arg == "--single-mip") {
            a.settings.MIP_settings = CAD_RPC::MIP_Settings::SingleMIPForAll;
        } else if (arg == "--templates") {
            a.settings.templates_settings = CAD_RPC::TemplatesSettings::SearchForTemplates;
        } else if (arg == "--verbose") {
            a.verbose = true;
        } else if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            std::exit(0);
        } else if (!arg.empty() && arg[0] == '-') {
            bad_usage("unknown option " + arg);
        } else {
            a.models.push_back(arg);
            continue;
        }
        // Every other option goes on to each model's export in a batch.
        a.passed.insert(a.passed.end(), argv + first, argv + i + 1);
    }
    if (a.models.empty()) bad_usage("no model given");
    if (!a.export_dir.empty()) {
        if (!a.export_path.empty()) bad_usage("--export and --export-dir exclude each other");
        return a;
    }
    if (a.jobs) bad_usage("-j goes with --export-dir");
    if (a.models.size() > 1) bad_usage("more than one model given");
    a.model_path = a.models.front();
    if (a.no_gui && !a.gui.empty()) bad_usage("--no-gui and --gui exclude each other");
    if (a.no_window && a.no_command) bad_usage("--no-window and --no-command exclude each other");
    if (a.export_path.empty() && (!a.emc_path.empty() || a.settings != tarvik::default_settings()))
        bad_usage("--only, --all-visible, --emc, --single-mip and --templates go with --export");
    if (a.addin_path.empty()) a.addin_path = own_directory() + "/../Velmora/lib/libVelmora.so";
    return a;
}

using Progress = std::function<void(const std::string& stage, double fraction)>;

// Reads and meshes the model, showing how far it has come (on the terminal,
// and to `also` when given). Null when it cannot be read (the reason is printed).
cad::ApplicationPtr open_model(const Arguments& a, Progress also = {})
{
    // OpenCASCADE reports its translation on stdout, where the port goes;
    // keep it off the terminal unless asked for.
    Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_PrinterOStream));
    if (a.verbose) Message::DefaultMessenger()->AddPrinter(new Message_PrinterOStream("cerr", false, Message_Warning));
    try {
        auto progress = std::make_shared<ProgressLine>();
        occt::OcctHostOptions host;
        host.density = a.density;
        host.codepage = a.codepage;
        host.quality = a.quality;
        host.warn = [progress](const std::string& message) {
            progress->finish();
            std::cerr << "velmora-host: warning: " << message << std::endl;
        };
        host.log = a.verbose ? &std::cerr : nullptr;
        host.mesh_on_open = true;
        host.progress = [progress, also](const std::string& stage, double fraction) {
            (*progress)(stage, fraction);
            if (also) also(stage, fraction);
        };
        auto application = occt::open_occt_application(a.model_path, host);
        progress->finish();
        return application;
    } catch (const std::exception& e) {
        std::cerr << "\nvelmora-host: " << e.what() << "\n";
        return nullptr;
    }
}

shell::ExportRunOptions run_options(const Arguments& a)
{
    shell::ExportRunOptions options;
    options.port = a.port;
    options.start_gui = !a.no_gui;
    options.gui_program = a.gui;
    options.on_listening = [no_gui = a.no_gui, verbose = a.verbose](int bound) {
        if (no_gui || verbose) std::cout << "velmora-host: serving on port " << bound << std::endl;
    };
    options.on_refused = [](const std::string& refusal) { std::cerr << "velmora-host: " << refusal << std::endl; };
    return options;
}

// Without a window: the command once, and the end with its run.
int run_without_window(const Arguments& a, const cad::ApplicationPtr& application)
{
    host::HostSession session(a.addin_path, application, run_options(a));
    const auto command = session.command(u"Export ZEL");
    if (!command) {
        std::cerr << "velmora-host: the add-in added no \"Export ZEL\" command\n";
        return 2;
    }
    if (!session.enabled(*command)) {
        std::cerr << "velmora-host: \"Export ZEL\" is disabled\n";
        return 2;
    }
    if (a.verbose) std::cerr << "velmora-host: running \"Export ZEL\"" << std::endl;
    // SIGINT and SIGTERM dismiss the lock notice. Blocked here (and so in
    // every thread the run starts), one that comes before the notice is up
    // waits for it instead of killing the host with the add-in's files left.
    sigset_t dismissing, previous;
    sigemptyset(&dismissing);
    sigaddset(&dismissing, SIGINT);
    sigaddset(&dismissing, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &dismissing, &previous);
    session.perform(*command);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return 0;
}

// With a window: it opens at once and shows how far the reading has come
// (the renderer prepares itself meanwhile); then the model, and the command
// at once unless told to wait for a click. The end when the window closes.
int run_with_window(const Arguments& a)
{
    int argc = 1;
    char name[] = "velmora-host";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    // SIGTERM, SIGINT and SIGHUP close the window, which ends a run first.
    SignalCloser closer;
    auto boxes = std::make_shared<host::NoticeBoxes>();
    host::CadWindow window(boxes, QString::fromStdString(std::filesystem::path(a.model_path).filename()));
    if (a.geometry) window.setGeometry((*a.geometry)[2], (*a.geometry)[3], (*a.geometry)[0], (*a.geometry)[1]);
    window.show();

    cad::ApplicationPtr application;
    std::unique_ptr<host::HostSession> session;
    int code = 0;
    std::thread loader([&] {
        application = open_model(a, [&window](const std::string& stage, double fraction) {
            QMetaObject::invokeMethod(&window, [&window, stage = QString::fromStdString(stage), fraction] {
                window.show_progress(stage, fraction);
            });
        });
        QMetaObject::invokeMethod(&window, [&] {
            if (!application) {
                code = 2;
                window.close();
                return;
            }
            shell::ExportRunOptions options = run_options(a);
            options.notice_boxes = boxes;
            options.on_refused = [&window, print = options.on_refused](const std::string& refusal) {
                print(refusal);
                QMetaObject::invokeMethod(&window, [&window, text = QString::fromStdString(refusal)] {
                    window.statusBar()->showMessage(text.left(1).toUpper() + text.mid(1));
                });
            };
            // "Uncaught exception!" on screen too, as the CAD system's box.
            options.report = [boxes](const std::string& caption, const std::string& text) {
                std::cerr << "[" << caption << "]\n" << text << std::endl;
                boxes->open(caption, text)->wait();
            };
            try {
                session = std::make_unique<host::HostSession>(a.addin_path, application, options);
            } catch (const std::exception& e) {
                std::cerr << "velmora-host: " << e.what() << "\n";
                code = 2;
                window.close();
                return;
            }
            window.show_model(*session);
            if (!a.no_command) window.perform(QStringLiteral("Export ZEL"));
        });
    });
    const int loop = QApplication::exec();
    // A window closed while the model is read: the reading ends first.
    loader.join();
    window.close();  // ends a run that a late command may have started
    window.detach();
    session.reset();
    return code != 0 ? code : loop;
}

// Boxes that show nothing: the headless export's lock notice waits on one
// until the client stops the service, or until close_all().
class SilentBoxes : public platform::NoticeBoxService {
public:
    std::unique_ptr<platform::NoticeBox> open(const std::string&, const std::string&) override
    {
        auto box = std::make_unique<Box>(state_);
        return box;
    }
    void close_all() { state_->close(); }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable closed_cv;
        bool closed = false;
        void close()
        {
            {
                std::lock_guard lock(mutex);
                closed = true;
            }
            closed_cv.notify_all();
        }
    };
    struct Box : platform::NoticeBox {
        explicit Box(std::shared_ptr<State> s) : state(std::move(s)) {}
        void wait() override
        {
            std::unique_lock lock(state->mutex);
            state->closed_cv.wait(lock, [this] { return state->closed; });
        }
        void close() override { state->close(); }
        std::shared_ptr<State> state;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// The headless export: the add-in's command performed without a window or
// Tarvik, its service driven from here by Tarvik's own client code.
int run_export(const Arguments& a)
{
    // An unreadable configuration fails before the model is read.
    std::optional<EMC::Config> emc;
    if (!a.emc_path.empty()) {
        try {
            emc = read_emc(a.emc_path);
        } catch (const std::exception& e) {
            // The reader's message is the one Tarvik shows ("Unable to load EMC file! ...").
            std::cerr << "velmora-host: " << e.what() << "\n";
            return 2;
        }
    }
    const cad::ApplicationPtr application = open_model(a);
    if (!application) return 2;
    CAD_RPC::Settings settings = a.settings;
    settings.save_filepath = a.export_path;
    // The first failure, from the run's thread or the client's.
    std::mutex failure_mutex;
    std::string failure;
    auto fail = [&](const std::string& what) {
        std::lock_guard lock(failure_mutex);
        if (failure.empty()) failure = what;
    };
    std::thread client;
    shell::ExportRunOptions options;
    options.port = 0;
    options.start_gui = false;
    auto boxes = std::make_shared<SilentBoxes>();
    options.notice_boxes = boxes;
    options.report = [&fail](const std::string& caption, const std::string& text) { fail(caption + " " + text); };
    options.on_listening = [&](int port) {
        client = std::thread([&, port] {
            bool exported = false;
            try {
                CAD_RPC::CAD_RPC_Connection connection(port);
                try {
                    if (progress_shown()) std::cerr << "velmora-host: exporting ..." << std::flush;
                    tarvik::export_model(connection.client(), settings, emc);
                    exported = true;
                    if (progress_shown()) std::cerr << " done" << std::endl;
                } catch (const std::exception& e) {
                    if (progress_shown()) std::cerr << std::endl;
                    fail(std::string("Unable to export a CAD tree! ") + e.what());
                }
                connection.client().stop_rpc_service();
            } catch (const std::exception& e) {
                // No service to reach or to stop: the run ends with its
                // notice. A file already written stays, with a warning.
                if (exported)
                    std::cerr << "velmora-host: warning: " << e.what() << "\n";
                else
                    fail(std::string("Unable to export a CAD tree! ") + e.what());
                boxes->close_all();
            }
        });
    };
    {
        host::HostSession session(a.addin_path, application, options);
        const auto command = session.command(u"Export ZEL");
        if (!command || !session.enabled(*command)) {
            std::cerr << "velmora-host: the add-in offers no enabled \"Export ZEL\" command\n";
            return 2;
        }
        session.perform(*command);
    }
    if (client.joinable()) client.join();
    if (!failure.empty()) {
        std::cerr << "velmora-host: " << failure << "\n";
        return 1;
    }
    std::cout << "velmora-host: wrote " << a.export_path << std::endl;
    return 0;
}

// A batch: each model exported by a velmora-host process of its own (no
// state shared, so one model's failure or crash spoils no other), `jobs`
// at a time; one line per model as it ends.
int run_batch(const Arguments& a)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(a.export_dir, ec);
    if (!fs::is_directory(a.export_dir)) {
        std::cerr << "velmora-host: cannot make the folder " << a.export_dir << "\n";
        return 2;
    }
    std::vector<std::string> outs;
    for (const auto& model : a.models) {
        const std::string out = (fs::path(a.export_dir) / fs::path(model).stem()).string() + ".zel";
        if (std::find(outs.begin(), outs.end(), out) != outs.end())
            bad_usage("two models would both be exported to " + out);
        outs.push_back(out);
    }
    const unsigned jobs = a.jobs ? a.jobs : std::max(1u, std::thread::hardware_concurrency());
    struct Running {
        std::size_t model;
        int errors;  // the child's standard error, read when it ends
        std::chrono::steady_clock::time_point start;
    };
    std::map<pid_t, Running> running;
    std::size_t next = 0, failed = 0;
    auto start = [&](std::size_t m) {
        const int errors = ::memfd_create("velmora-host-errors", MFD_CLOEXEC);
        std::vector<std::string> args{"velmora-host"};
        args.insert(args.end(), a.passed.begin(), a.passed.end());
        args.insert(args.end(), {"--export", outs[m], a.models[m]});
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
            ::dup2(null, STDOUT_FILENO);
            if (errors >= 0) ::dup2(errors, STDERR_FILENO);
            ::execv("/proc/self/exe", argv.data());
            ::_exit(127);
        }
        if (pid < 0) {
            std::cerr << "velmora-host: " << a.models[m] << ": cannot start: " << std::strerror(errno) << "\n";
            ++failed;
            if (errors >= 0) ::close(errors);
            return;
        }
        running[pid] = {m, errors, std::chrono::steady_clock::now()};
    };
    while (next < a.models.size() || !running.empty()) {
        while (next < a.models.size() && running.size() < jobs) start(next++);
        if (running.empty()) continue;
        int status = 0;
        const pid_t pid = ::waitpid(-1, &status, 0);
        const auto it = running.find(pid);
        if (it == running.end()) continue;
        const Running r = it->second;
        running.erase(it);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - r.start).count();
        std::string said;
        if (r.errors >= 0) {
            char buffer[4096];
            ::lseek(r.errors, 0, SEEK_SET);
            for (ssize_t n; (n = ::read(r.errors, buffer, sizeof buffer)) > 0;) said.append(buffer, static_cast<std::size_t>(n));
            ::close(r.errors);
        }
        const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (!ok) ++failed;
        std::printf("velmora-host: %s: %s (%.2f s)\n", a.models[r.model].c_str(),
                    ok ? ("wrote " + outs[r.model]).c_str()
                       : WIFEXITED(status) ? ("failed, exit " + std::to_string(WEXITSTATUS(status))).c_str()
                                           : ("failed, signal " + std::to_string(WTERMSIG(status))).c_str(),
                    seconds);
        // What the model's own export said (warnings, the reason it failed).
        std::istringstream lines(said);
        for (std::string line; std::getline(lines, line);)
            if (!line.empty()) std::printf("  %s\n", line.c_str());
        std::fflush(stdout);
    }
    if (failed) std::fprintf(stderr, "velmora-host: %zu of %zu models failed\n", failed, a.models.size());
    return failed ? 1 : 0;
}

// A display the 3D view can draw on (an X server: OpenGL through GLX).
bool display_available()
{
    Display* display = ::XOpenDisplay(nullptr);
    if (!display) return false;
    ::XCloseDisplay(display);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const Arguments arguments = parse_arguments(argc, argv);
    try {
        // Without any window: no display is even asked for.
        if (!arguments.export_dir.empty()) return run_batch(arguments);
        if (!arguments.export_path.empty()) return run_export(arguments);
    } catch (const std::exception& e) {
        std::cerr << "velmora-host: " << e.what() << "\n";
        return 2;
    }
    const bool window = !arguments.no_window && display_available();
    if (!window && arguments.no_command) {
        std::cerr << "velmora-host: --no-command needs a display for the CAD window\n";
        return 2;
    }
    try {
        if (window) return run_with_window(arguments);
        const cad::ApplicationPtr application = open_model(arguments);
        if (!application) return 2;
        return run_without_window(arguments, application);
    } catch (const std::exception& e) {
        std::cerr << "velmora-host: " << e.what() << "\n";
        return 2;
    }
}
