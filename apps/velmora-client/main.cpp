// velmora-client: a command-line client of the add-in's service, for scripts
// and for runs without the GUI. Takes the CAD tree, exports it to a ZEL file
// with the chosen settings and, unless told otherwise, ends the run.
#include <cstdlib>
#include <exception>
#include <functional>
#include <iostream>
#include <string>

#include "cad_rpc_connection.h"

namespace {

constexpr const char* kUsage =
    "usage: velmora-client --port N [--tree] [--keep-running] [--only solids,curves,points,mips]\n"
    "                      [--quality Q] [--single-mip] [--all-visible | --only-visible] OUT.zel\n"
    "  --port N          the port velmora-host serves on\n"
    "  --tree            print the CAD tree before exporting\n"
    "  --only LIST       export only these kinds (default: all four)\n"
    "  --quality Q       coarse, standard, fine or extrafine (default coarse)\n"
    "  --single-mip      one MIP for all solids of a structure instead of one for each\n"
    "  --all-visible     export every object as visible\n"
    "  --only-visible    export only the visible objects\n"
    "  --keep-running    do not end the run (stop_rpc_service) afterwards\n";

[[noreturn]] void bad_usage(const std::string& message)
{
    std::cerr << "velmora-client: " << message << "\n" << kUsage;
    std::exit(2);
}

void print_tree(const CAD_RPC::Tree& tree, int32_t id, int depth)
{
    const auto it = tree.nodes.find(id);
    if (it == tree.nodes.end()) return;
    const CAD_RPC::Node& node = it->second;
    std::cout << std::string(2 * static_cast<std::size_t>(depth), ' ') << node.name << "  ("
              << CAD_RPC::to_string(node.type) << (node.is_visible ? "" : ", hidden") << ")\n";
    // A node that lists itself (the root of a part is its own parent) is not walked again.
    for (int32_t child : node.children_ids)
        if (child != id && depth < 256) print_tree(tree, child, depth + 1);
}

}  // namespace

int main(int argc, char** argv)
{
    int port = -1;
    bool show_tree = false, keep_running = false;
    std::string out;
    CAD_RPC::Settings settings;
    settings.export_solids = settings.export_curves = settings.export_points = settings.export_MIPs = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) bad_usage(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--port") {
            const std::string text = value();
            char* end = nullptr;
            const long p = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end || p <= 0 || p > 65535) bad_usage("bad port " + text);
            port = static_cast<int>(p);
        } else if (arg == "--tree") {
            show_tree = true;
        } else if (arg == "--keep-running") {
            keep_running = true;
        } else if (arg == "--only") {
            const std::string list = "," + value() + ",";
            auto has = [&](const char* kind) { return list.find(std::string(",") + kind + ",") != std::string::npos; };
            settings.export_solids = has("solids");
            settings.export_curves = has("curves");
            settings.export_points = has("points");
            settings.export_MIPs = has("mips");
            if (!settings.export_solids && !settings.export_curves && !settings.export_points && !settings.export_MIPs)
                bad_usage("--only names none of solids, curves, points, mips");
        } else if (arg == "--quality") {
            const std::string q = value();
            if (q == "coarse")
                settings.facet_model_quality = CAD_RPC::FacetModelQuality::Coarse;
            else if (q == "standard")
                settings.facet_model_quality = CAD_RPC::FacetModelQuality::Standard;
            else if (q == "fine")
                settings.facet_model_quality = CAD_RPC::FacetModelQuality::Fine;
            else if (q == "extrafine")
                settings.facet_model_quality = CAD_RPC::FacetModelQuality::ExtraFine;
            else
                bad_usage("bad quality " + q);
        } else if (arg == "--single-mip") {
            settings.MIP_settings = CAD_RPC::MIP_Settings::SingleMIPForAll;
        } else if (arg == "--all-visible") {
            settings.visibility_settings = CAD_RPC::VisibilitySettings::AllAsVisible;
        } else if (arg == "--only-visible") {
            settings.visibility_settings = CAD_RPC::VisibilitySettings::OnlyVisible;
        } else if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            bad_usage("unknown option " + arg);
        } else if (out.empty()) {
            out = arg;
        } else {
            bad_usage("more than one output file given");
        }
    }
    if (port < 0) bad_usage("no port given");
    if (out.empty()) bad_usage("no output file given");
    settings.save_filepath = out;

    try {
        CAD_RPC::CAD_RPC_Connection connection("localhost", port);
        CAD_RPC::Tree tree;
        connection.client().get_cad_tree(tree);
        if (show_tree) print_tree(tree, tree.root_id, 0);
        connection.client().export_zel(tree, settings);
        std::cout << "velmora-client: wrote " << out << " (" << tree.nodes.size() << " nodes)" << std::endl;
        if (!keep_running) connection.client().stop_rpc_service();
    } catch (const std::exception& e) {
        std::cerr << "velmora-client: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
