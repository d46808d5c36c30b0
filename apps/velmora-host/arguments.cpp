#include "arguments.h"

#include <unistd.h>

#include <charconv>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "hosts/session/host_session.h"
#include "hosts/occt/occt_names.h"

namespace velmora::host {
namespace {

constexpr const char* kUsage =
    "usage: velmora-host [--port N] [--no-gui | --gui PATH] [--no-window | --no-command] [--geometry WxH+X+Y]\n"
    "                    [--density D] [--quality Q] [--codepage NAME] [--addin PATH] [--verbose] [--] MODEL\n"
    "       velmora-host --export OUT.zel [--only LIST] [--all-visible] [--emc CONFIG.emc] [--single-mip] [--templates]\n"
    "                    [--density D] [--quality Q] [--codepage NAME] [--addin PATH] [--verbose] [--] MODEL\n"
    "       velmora-host --export-dir DIR [-j N] [the options of --export] [--] MODEL...\n"
    "  MODEL         a .step/.stp, .igs/.iges or .brep file (BREP in millimetres), or a FreeCAD\n"
    "                document (.FCStd, read by FreeCAD's freecadcmd); after --, a model even\n"
    "                where its name starts with -\n"
    "  --port N      port to serve on (default 9090; 0 takes a free one)\n"
    "  --no-gui      start no GUI: print the port and serve any client\n"
    "  --gui PATH    the GUI program to start (default: Tarvik next to the add-in)\n"
    "  --no-window   no CAD window even with a display: run the command once and end\n"
    "  --no-command  open the CAD window and wait for the command to be clicked\n"
    "  --geometry G  the CAD window's size and place, as WxH+X+Y\n"
    "  --density D   density for mass properties in kg/m^3 (default 1000)\n"
    "  --quality Q   mesh accuracy: coarse, standard (default), fine or extrafine\n"
    "  --codepage NAME  the code page of the model's 8-bit names: windows-1250 to\n"
    "                windows-1258, iso-8859-N, utf-8 or another that iconv knows\n"
    "                (default: UTF-8 where valid, else told from the names, else\n"
    "                the code page of the locale's language)\n"
    "  --addin PATH  the add-in module (default: ../Velmora/lib/libVelmora.so from this program)\n"
    "  --verbose     report what the host does\n"
    "  --export OUT  export MODEL to OUT as Tarvik's \"Export\" does, without any window, with:\n";

constexpr const char* kBatchUsage =
    "  --export-dir DIR  export each MODEL to DIR/<its name>.zel, each in a process of its own\n"
    "  -j N          with --export-dir: N models at a time (default: one per core)\n";

std::string own_directory()
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    buf[n] = '\0';
    return std::filesystem::path(buf).parent_path().string();
}

// A whole argument as a number, whatever the locale; false for anything else.
template <class Number>
bool parse_number(const std::string& text, Number& out)
{
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, out);
    return !text.empty() && error == std::errc() && rest == end;
}

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

}  // namespace

void bad_usage(const std::string& message)
{
    std::cerr << "velmora-host: " << message << "\n" << kUsage << tarvik::kExportOptionsUsage << kBatchUsage;
    std::exit(2);
}

Arguments parse_arguments(int argc, char** argv)
{
    Arguments a;
    bool only_models = false;
    for (int i = 1; i < argc; ++i) {
        const int first = i;
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) bad_usage(arg + " needs a value");
            return argv[++i];
        };
        if (only_models || arg.empty() || arg[0] != '-') {
            a.models.push_back(arg);
            continue;
        }
        try {
            if (tarvik::take_export_option(argc, argv, i, a.exported)) {
                a.passed.insert(a.passed.end(), argv + first, argv + i + 1);
                continue;
            }
        } catch (const std::invalid_argument& e) {
            bad_usage(e.what());
        }
        if (arg == "--") {
            only_models = true;
            continue;
        } else if (arg == "--port") {
            const auto port = occt::serving_port_named(value());
            if (!port) bad_usage("bad port");
            a.port = *port;
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
            const auto density = occt::density_named(value());
            if (!density) bad_usage("bad density");
            a.density = *density;
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
        } else if (arg == "--verbose") {
            a.verbose = true;
        } else if (arg == "-h" || arg == "--help") {
            std::cout << kUsage << tarvik::kExportOptionsUsage << kBatchUsage;
            std::exit(0);
        } else {
            bad_usage("unknown option " + arg);
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
    if (a.export_path.empty() && (!a.exported.emc_path.empty() || a.exported.settings != tarvik::ExportOptions().settings))
        bad_usage("--only, --all-visible, --emc, --single-mip and --templates go with --export");
    if (a.addin_path.empty()) a.addin_path = cad::addin_module_in(own_directory() + "/..");
    a.freecad_addon = cad::freecad_addon_in(own_directory() + "/..");
    return a;
}

}  // namespace velmora::host
