#pragma once
// What every mode of velmora-host does first: the model read and meshed
// with its progress on the terminal, and the run's options.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "addin/cad/host/host_fwd.h"
#include "addin/shell/export_run.h"
#include "arguments.h"

namespace velmora::host {

// Progress is for a person at a terminal; a script's log stays quiet.
bool progress_shown();

// The language the user's locale chooses, as the host names it to the
// add-in: "russian" for a Russian locale, else "english".
std::u16string locale_language();

using Progress = std::function<void(const std::string& stage, double fraction)>;

// Reads and meshes the model, showing how far it has come (on the terminal,
// and to `also` when given). Null when it cannot be read (the reason is printed).
cad::ApplicationPtr open_model(const Arguments& a, Progress also = {});

// Whether a run ended in an exception (the "Uncaught exception!" box): the
// program then exits 1 whatever else it did.
struct RunOutcome {
    std::atomic<bool> failed{false};
};

// The run's options from the arguments; a failure is noted in `outcome`
// before `report` (default: the add-in's warning box) shows it.
shell::ExportRunOptions run_options(const Arguments& a, std::shared_ptr<RunOutcome> outcome,
                                    platform::MessageBoxFn report = {});

}  // namespace velmora::host
