#pragma once
// The export options that Tarvik's form offers, on a command line: one
// parser and one usage text for velmora-host and velmora-client.
#include <string>

#include "CAD_RPC_Service.h"

namespace tarvik {

struct ExportOptions {
    CAD_RPC::Settings settings;  // Tarvik's defaults, changed by the options
    std::string emc_path;        // --emc, empty when none
    ExportOptions();
};

// The usage lines of the options take_export_option knows.
extern const char* const kExportOptionsUsage;

// Takes argv[i] (with its value, moving i on) when it is one of the export
// options (--only, --all-visible, --emc, --single-mip, --templates): true.
// False for any other argument. A missing or bad value throws
// std::invalid_argument with a message for the user.
bool take_export_option(int argc, char** argv, int& i, ExportOptions& options);

}  // namespace tarvik
