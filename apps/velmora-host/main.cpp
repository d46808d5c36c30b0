// velmora-host: plays the CAD host on Linux. Opens a model as the active
// document, loads the add-in module, performs its "Export ZEL" command and
// ends when the run ends.
#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include <Message.hxx>
#include <Message_PrinterOStream.hxx>

#include "addin/cad/host/application.h"
#include "addin/shell/velmora_addin.h"
#include "hosts/occt/occt_host.h"

namespace {

constexpr const char* kUsage =
    "usage: velmora-host [--port N] [--no-gui | --gui PATH] [--density D] [--addin PATH] [--verbose] MODEL\n"
    "  MODEL        a .step/.stp, .igs/.iges or .brep file (BREP in millimetres)\n"
    "  --port N     port to serve on (default 9090; 0 takes a free one)\n"
    "  --no-gui     start no GUI: print the port and serve any client\n"
    "  --gui PATH   the GUI program to start (default: Tarvik next to the add-in)\n"
    "  --density D  density for mass properties in kg/m^3 (default 1000)\n"
    "  --addin PATH the add-in module (default: ../Velmora/lib/libVelmora.so from this program)\n"
    "  --verbose    report what the host does\n";

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

// One line on the terminal that shows how far reading and meshing have come;
// when stderr is no terminal, only each stage's start.
class ProgressLine {
public:
    ProgressLine() : tty_(::isatty(STDERR_FILENO) == 1) {}
    ~ProgressLine() { finish(); }
    void operator()(const std::string& stage, double fraction)
    {
        if (stage != stage_) {
            finish();
            stage_ = stage;
            if (!tty_) std::cerr << "velmora-host: " << stage << " ..." << std::endl;
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
    bool no_gui = false, verbose = false;
    std::string gui, model_path, addin_path;
    double density = 1000.0;
};

Arguments parse_arguments(int argc, char** argv)
{
    Arguments a;
    for (int i = 1; i < argc; ++i) {
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
        } else if (arg == "--density") {
            if (!parse_number(value(), a.density) || !(a.density > 0)) bad_usage("bad density");
        } else if (arg == "--addin") {
            a.addin_path = value();
        } else if (arg == "--verbose") {
            a.verbose = true;
        } else if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            std::exit(0);
        } else if (!arg.empty() && arg[0] == '-') {
            bad_usage("unknown option " + arg);
        } else if (a.model_path.empty()) {
            a.model_path = arg;
        } else {
            bad_usage("more than one model given");
        }
    }
    if (a.model_path.empty()) bad_usage("no model given");
    if (a.no_gui && !a.gui.empty()) bad_usage("--no-gui and --gui exclude each other");
    if (a.addin_path.empty()) a.addin_path = own_directory() + "/../Velmora/lib/libVelmora.so";
    return a;
}

// Reads and meshes the model, showing how far it has come. Null when it
// cannot be read (the reason is printed).
velmora::cad::ApplicationPtr open_model(const Arguments& a)
{
    // OpenCASCADE reports its translation on stdout, where the port goes;
    // keep it off the terminal unless asked for.
    Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_PrinterOStream));
    if (a.verbose) Message::DefaultMessenger()->AddPrinter(new Message_PrinterOStream("cerr", false, Message_Warning));
    try {
        auto progress = std::make_shared<ProgressLine>();
        velmora::occt::OcctHostOptions host;
        host.density = a.density;
        host.log = a.verbose ? &std::cerr : nullptr;
        host.mesh_on_open = true;
        host.progress = [progress](const std::string& stage, double fraction) { (*progress)(stage, fraction); };
        auto application = velmora::occt::open_occt_application(a.model_path, host);
        progress->finish();
        return application;
    } catch (const std::exception& e) {
        std::cerr << "\nvelmora-host: " << e.what() << "\n";
        return nullptr;
    }
}

// The add-in module, loaded as the CAD system loads it: by path, through
// its one exported entry. Unloaded when the last reference goes.
class AddinModule {
public:
    explicit AddinModule(const std::string& path) : handle_(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
    {
        if (!handle_) throw std::runtime_error("cannot load the add-in " + path + ": " + ::dlerror());
        create_ = reinterpret_cast<Create>(::dlsym(handle_, "Velmora_CreateAddin"));
        destroy_ = reinterpret_cast<Destroy>(::dlsym(handle_, "Velmora_DestroyAddin"));
        if (!create_ || !destroy_) {
            ::dlclose(handle_);
            throw std::runtime_error(path + " is no Velmora add-in");
        }
    }
    ~AddinModule() { ::dlclose(handle_); }
    AddinModule(const AddinModule&) = delete;
    AddinModule& operator=(const AddinModule&) = delete;

    std::shared_ptr<velmora::shell::C_Velmora> create() { return {create_(), destroy_}; }

private:
    using Create = velmora::shell::C_Velmora* (*)();
    using Destroy = void (*)(velmora::shell::C_Velmora*);
    void* handle_;
    Create create_ = nullptr;
    Destroy destroy_ = nullptr;
};

// Performs the add-in's "Export ZEL" command as the CAD system does: by the
// callback and enable method its command item names. Returns the exit code.
int perform_export_command(velmora::shell::C_Velmora& addin, const velmora::cad::ApplicationPtr& application,
                           bool verbose)
{
    std::u16string callback, enable_method;
    for (const auto& command : velmora::occt::occt_commands(application))
        if (command.name == u"Export ZEL") {
            callback = command.callback;
            enable_method = command.enable_method;
        }
    if (callback.empty()) {
        std::cerr << "velmora-host: the add-in added no \"Export ZEL\" command\n";
        return 2;
    }
    int enabled = 1;
    if (!enable_method.empty() && addin.invoke(enable_method, &enabled) && enabled == 0) {
        std::cerr << "velmora-host: \"Export ZEL\" is disabled\n";
        return 2;
    }
    if (verbose) std::cerr << "velmora-host: running \"Export ZEL\"" << std::endl;
    // SIGINT and SIGTERM dismiss the lock notice. Blocked here (and so in
    // every thread the run starts), one that comes before the notice is up
    // waits for it instead of killing the host with the add-in's files left.
    sigset_t dismissing, previous;
    sigemptyset(&dismissing);
    sigaddset(&dismissing, SIGINT);
    sigaddset(&dismissing, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &dismissing, &previous);
    addin.invoke(callback);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return 0;
}

int run_addin(const Arguments& a, const velmora::cad::ApplicationPtr& application)
{
    AddinModule module(a.addin_path);
    const std::shared_ptr<velmora::shell::C_Velmora> addin = module.create();
    velmora::shell::ExportRunOptions options;
    options.port = a.port;
    options.start_gui = !a.no_gui;
    options.gui_program = a.gui;
    options.on_listening = [no_gui = a.no_gui, verbose = a.verbose](int bound) {
        if (no_gui || verbose) std::cout << "velmora-host: serving on port " << bound << std::endl;
    };
    addin->set_run_options(options);
    if (!addin->connect(application, 1)) {
        std::cerr << "velmora-host: the add-in did not connect\n";
        return 2;
    }
    const int code = perform_export_command(*addin, application, a.verbose);
    addin->disconnect();
    return code;
}

}  // namespace

int main(int argc, char** argv)
{
    const Arguments arguments = parse_arguments(argc, argv);
    velmora::cad::ApplicationPtr application = open_model(arguments);
    if (!application) return 2;
    try {
        return run_addin(arguments, application);
    } catch (const std::exception& e) {
        std::cerr << "velmora-host: " << e.what() << "\n";
        return 2;
    }
}
