// velmora-client: a command-line client of the add-in's service, for scripts
// and for runs without the GUI. Exports the model as Tarvik's "Export" does
// (Tarvik's own client code: names corrected, an EMC configuration applied)
// and, unless told otherwise, ends the run.
#include <cstdlib>
#include <exception>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <string>

#include "cad_rpc_connection.h"
#include "export_client/export_client.h"
#include "export_client/export_options.h"

namespace {

constexpr const char* kUsage =
    "usage: velmora-client --port N [--tree] [--keep-running] [--only solids,curves,points,mips]\n"
    "                      [--all-visible] [--emc CONFIG.emc] [--single-mip] [--templates] OUT.zel\n"
    "  --port N          the port velmora-host serves on\n"
    "  --tree            print the CAD tree before exporting\n"
    "  --keep-running    do not end the run (stop_rpc_service) afterwards\n";

[[noreturn]] void bad_usage(const std::string& message)
{
    std::cerr << "velmora-client: " << message << "\n" << kUsage << tarvik::kExportOptionsUsage;
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
    tarvik::ExportOptions exported;
    for (int i = 1; i < argc; ++i) {
        try {
            if (tarvik::take_export_option(argc, argv, i, exported)) continue;
        } catch (const std::invalid_argument& e) {
            bad_usage(e.what());
        }
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
        } else if (arg == "-h" || arg == "--help") {
            std::cout << kUsage << tarvik::kExportOptionsUsage;
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
    CAD_RPC::Settings settings = exported.settings;
    settings.save_filepath = out;

    try {
        std::optional<EMC::Config> emc;
        if (!exported.emc_path.empty()) emc = read_emc(exported.emc_path);
        CAD_RPC::CAD_RPC_Connection connection(port);
        if (show_tree) {
            CAD_RPC::Tree tree;
            connection.client().get_cad_tree(tree);
            print_tree(tree, tree.root_id, 0);
        }
        tarvik::export_model(connection.client(), settings, emc);
        std::cout << "velmora-client: wrote " << out << std::endl;
        if (!keep_running) connection.client().stop_rpc_service();
    } catch (const std::exception& e) {
        std::cerr << "velmora-client: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
