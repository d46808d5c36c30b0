#include "export_options.h"

#include <stdexcept>

#include "export_client.h"

namespace tarvik {

ExportOptions::ExportOptions() : settings(default_settings()) {}

const char* const kExportOptionsUsage =
    "  --only LIST       export only these of solids,curves,points,mips (default: all four)\n"
    "  --all-visible     export every object as visible\n"
    "  --emc FILE        apply this EMC configuration, as Tarvik's \"EMC Tool\" does\n"
    "  --single-mip      one MIP per parent for an EMC item's small solids\n"
    "  --templates       each repeated solid written once, placed by reference\n";

bool take_export_option(int argc, char** argv, int& i, ExportOptions& options)
{
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
        if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
        return argv[++i];
    };
    CAD_RPC::Settings& s = options.settings;
    if (arg == "--only") {
        if (!set_exported_kinds(value(), s)) throw std::invalid_argument("--only names none of solids, curves, points, mips");
    } else if (arg == "--all-visible") {
        s.visibility_settings = CAD_RPC::VisibilitySettings::AllAsVisible;
    } else if (arg == "--emc") {
        options.emc_path = value();
    } else if (arg == "--single-mip") {
        s.MIP_settings = CAD_RPC::MIP_Settings::SingleMIPForAll;
    } else if (arg == "--templates") {
        s.templates_settings = CAD_RPC::TemplatesSettings::SearchForTemplates;
    } else {
        return false;
    }
    return true;
}

}  // namespace tarvik
