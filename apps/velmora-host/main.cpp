// velmora-host: plays the CAD host on Linux. Opens a model as the active
// document, loads the add-in module, performs its "Export ZEL" command and
// ends when the run ends.
#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
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

bool parse_number(const std::string& text, double& out)
{
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0';
}

}  // namespace

int main(int argc, char** argv)
{
    int port = 9090;
    bool no_gui = false, verbose = false;
    std::string gui, model_path, addin_path;
    double density = 1000.0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) bad_usage(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--port") {
            double p;
            if (!parse_number(value(), p) || p < 0 || p > 65535 || p != static_cast<int>(p)) bad_usage("bad port");
            port = static_cast<int>(p);
        } else if (arg == "--no-gui") {
            no_gui = true;
        } else if (arg == "--gui") {
            gui = value();
        } else if (arg == "--density") {
            if (!parse_number(value(), density) || !(density > 0)) bad_usage("bad density");
        } else if (arg == "--addin") {
            addin_path = value();
        } else if (arg == "--verbose") {
            verbose = true;
        } else if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            bad_usage("unknown option " + arg);
        } else if (model_path.empty()) {
            model_path = arg;
        } else {
            bad_usage("more than one model given");
        }
    }
    if (model_path.empty()) bad_usage("no model given");
    if (no_gui && !gui.empty()) bad_usage("--no-gui and --gui exclude each other");

    // OpenCASCADE reports its translation on stdout, where the port goes;
    // keep it off the terminal unless asked for.
    Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_PrinterOStream));
    if (verbose) Message::DefaultMessenger()->AddPrinter(new Message_PrinterOStream("cerr", false, Message_Warning));

    velmora::cad::ApplicationPtr application;
    try {
        auto progress = std::make_shared<ProgressLine>();
        velmora::occt::OcctHostOptions host;
        host.density = density;
        host.log = verbose ? &std::cerr : nullptr;
        host.mesh_on_open = true;
        host.progress = [progress](const std::string& stage, double fraction) { (*progress)(stage, fraction); };
        application = velmora::occt::open_occt_application(model_path, host);
        progress->finish();
    } catch (const std::exception& e) {
        std::cerr << "\nvelmora-host: " << e.what() << "\n";
        return 2;
    }

    if (addin_path.empty()) addin_path = own_directory() + "/../Velmora/lib/libVelmora.so";
    void* module = ::dlopen(addin_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::cerr << "velmora-host: cannot load the add-in " << addin_path << ": " << ::dlerror() << "\n";
        return 2;
    }
    using Create = velmora::shell::C_Velmora* (*)();
    using Destroy = void (*)(velmora::shell::C_Velmora*);
    auto create = reinterpret_cast<Create>(::dlsym(module, "Velmora_CreateAddin"));
    auto destroy = reinterpret_cast<Destroy>(::dlsym(module, "Velmora_DestroyAddin"));
    if (!create || !destroy) {
        std::cerr << "velmora-host: " << addin_path << " is no Velmora add-in\n";
        return 2;
    }
    {
        std::shared_ptr<velmora::shell::C_Velmora> addin(create(), destroy);
        velmora::shell::ExportRunOptions options;
        options.port = port;
        options.start_gui = !no_gui;
        options.gui_program = gui;
        options.on_listening = [no_gui, verbose](int bound) {
            if (no_gui || verbose) std::cout << "velmora-host: serving on port " << bound << std::endl;
        };
        addin->set_run_options(options);
        if (!addin->connect(application, 1)) {
            std::cerr << "velmora-host: the add-in did not connect\n";
            return 2;
        }
        // Perform the command as the CAD system does: by the callback its item names.
        std::u16string callback, enable_method;
        for (const auto& command : velmora::occt::occt_commands(application))
            if (command.name == u"Export ZEL") {
                callback = command.callback;
                enable_method = command.enable_method;
            }
        if (callback.empty()) {
            std::cerr << "velmora-host: the add-in added no \"Export ZEL\" command\n";
            addin->disconnect();
            return 2;
        }
        int enabled = 1;
        if (!enable_method.empty() && addin->invoke(enable_method, &enabled) && enabled == 0) {
            std::cerr << "velmora-host: \"Export ZEL\" is disabled\n";
            addin->disconnect();
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
        addin->invoke(callback);
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        addin->disconnect();
    }
    application.reset();
    // The module is not unloaded: objects it made may still be referenced by static state.
    return 0;
}
