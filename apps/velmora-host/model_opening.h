#pragma once
// What every mode of velmora-host does first: the model read and meshed
// with its progress on the terminal, and the run's options.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "arguments.h"
#include "host_interface/addin.h"

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

// What velmora-host does when a run tells it something: prints the port
// (with --no-gui or --verbose) and each refusal, notes a failure in
// `outcome` and shows it through `report` (default: "[caption] text" on
// standard error). The `also_` functions are told after that.
class RunReports : public cad::RunEvents {
public:
    using Report = std::function<void(const std::string& caption, const std::string& text)>;
    RunReports(const Arguments& a, std::shared_ptr<RunOutcome> outcome, Report report = {});
    void listening(int port) override;
    void refused(const std::string& refusal) override;
    void failed(const std::string& caption, const std::string& text) override;

    std::function<void(int port)> also_listening;
    std::function<void(const std::string& refusal)> also_refused;

private:
    bool print_port_;
    std::shared_ptr<RunOutcome> outcome_;
    Report report_;
};

// The run's settings from the arguments, reported to `reports`.
cad::RunSettings run_settings(const Arguments& a, std::shared_ptr<RunReports> reports);

}  // namespace velmora::host
