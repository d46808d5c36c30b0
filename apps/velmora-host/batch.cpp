#include "batch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

#include "common/cores.h"

namespace velmora::host {
namespace {

// What a signal handler needs: the signal that stops the batch, and the
// running exports to pass it on to (slots of pids, no allocation).
volatile sig_atomic_t stopped_by = 0;
std::vector<std::atomic<pid_t>>* exports = nullptr;

void stop(int signal)
{
    stopped_by = signal;
    if (exports)
        for (auto& pid : *exports)
            if (const pid_t p = pid.load(); p > 0) ::kill(p, signal);
}

// Installs the batch's handlers and puts back what was there before.
class StopSignals {
public:
    explicit StopSignals(std::vector<std::atomic<pid_t>>& running)
    {
        exports = &running;
        // The batch waits for its exports: SIGCHLD ignored (as some shells
        // and schedulers leave it) would have them reaped unseen.
        ::sigaction(SIGCHLD, nullptr, &child_);
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        ::sigaction(SIGCHLD, &dfl, nullptr);
        struct sigaction action {};
        action.sa_handler = stop;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &action, &before_[i]);
    }
    ~StopSignals()
    {
        for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &before_[i], nullptr);
        ::sigaction(SIGCHLD, &child_, nullptr);
        exports = nullptr;
    }

private:
    static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
    struct sigaction before_[std::size(kSignals)] {};
    struct sigaction child_ {};
};

struct Running {
    std::size_t model;
    std::size_t slot;
    int errors;  // the export's standard error, read when it ends
    std::chrono::steady_clock::time_point start;
};

std::string read_all(int fd)
{
    std::string said;
    char buffer[4096];
    ::lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) said.append(buffer, static_cast<std::size_t>(n));
    return said;
}

}  // namespace

int run_batch(const Arguments& a)
{
    namespace fs = std::filesystem;
    // Every name first: a refused batch leaves no folder behind.
    std::vector<std::string> outs;
    for (const auto& model : a.models) {
        const std::string out = (fs::path(a.export_dir) / fs::path(model).stem()).string() + ".zel";
        if (std::find(outs.begin(), outs.end(), out) != outs.end())
            bad_usage("two models would both be exported to " + out);
        outs.push_back(out);
    }
    std::error_code ec;
    fs::create_directories(a.export_dir, ec);
    if (!fs::is_directory(a.export_dir)) {
        std::cerr << "velmora-host: cannot make the folder " << a.export_dir << "\n";
        return 2;
    }
    const unsigned jobs = a.jobs ? a.jobs : usable_cores();
    std::vector<std::atomic<pid_t>> slots(jobs);
    stopped_by = 0;
    const StopSignals signals(slots);
    const pid_t batch = ::getpid();

    std::map<pid_t, Running> running;
    std::size_t next = 0, failed = 0;
    auto report = [](const std::string& model, const std::string& how, double seconds, const std::string& said) {
        std::printf("velmora-host: %s: %s (%.2f s)\n", model.c_str(), how.c_str(), seconds);
        // What the model's own export said (warnings, the reason it failed).
        std::istringstream lines(said);
        for (std::string line; std::getline(lines, line);)
            if (!line.empty()) std::printf("  %s\n", line.c_str());
        std::fflush(stdout);
    };
    auto start = [&](std::size_t m) {
        const std::size_t slot = static_cast<std::size_t>(
            std::find_if(slots.begin(), slots.end(), [](const auto& s) { return s.load() == 0; }) - slots.begin());
        const int errors = ::memfd_create("velmora-host-errors", MFD_CLOEXEC);
        std::vector<std::string> args{"velmora-host"};
        args.insert(args.end(), a.passed.begin(), a.passed.end());
        args.insert(args.end(), {"--export", outs[m], "--", a.models[m]});
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            // An export outlives no batch (killed, or its terminal gone).
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != batch) ::_exit(1);
            // The batch's handlers are not the export's.
            for (const int s : {SIGTERM, SIGINT, SIGHUP}) ::signal(s, SIG_DFL);
            const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
            ::dup2(null, STDOUT_FILENO);
            if (errors >= 0) ::dup2(errors, STDERR_FILENO);
            ::execv("/proc/self/exe", argv.data());
            const char* why = std::strerror(errno);
            const char intro[] = "cannot start velmora-host (/proc/self/exe): ";
            (void)!::write(STDERR_FILENO, intro, sizeof intro - 1);
            (void)!::write(STDERR_FILENO, why, std::strlen(why));
            ::_exit(127);
        }
        if (pid < 0) {
            report(a.models[m], "failed", 0, std::string("cannot start an export: ") + std::strerror(errno));
            ++failed;
            if (errors >= 0) ::close(errors);
            return;
        }
        slots[slot] = pid;
        // A stop that came while it was being started reaches it too.
        if (stopped_by) ::kill(pid, stopped_by);
        running[pid] = {m, slot, errors, std::chrono::steady_clock::now()};
    };
    while (true) {
        while (!stopped_by && next < a.models.size() && running.size() < jobs) start(next++);
        if (running.empty()) break;
        int status = 0;
        const pid_t pid = ::waitpid(-1, &status, 0);
        if (pid < 0) {
            if (errno == EINTR) continue;
            // No export left to wait for, though some were never seen to end.
            for (auto& [lost, r] : running) {
                report(a.models[r.model], "failed, its end was not seen", 0, {});
                if (r.errors >= 0) ::close(r.errors);
                ++failed;
            }
            break;
        }
        const auto it = running.find(pid);
        if (it == running.end()) continue;
        const Running r = it->second;
        running.erase(it);
        slots[r.slot] = 0;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - r.start).count();
        std::string said;
        if (r.errors >= 0) {
            said = read_all(r.errors);
            ::close(r.errors);
        }
        const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (!ok) ++failed;
        const std::string how = ok               ? "wrote " + outs[r.model]
                                : stopped_by     ? std::string("cancelled")
                                : WIFEXITED(status) ? "failed, exit " + std::to_string(WEXITSTATUS(status))
                                                    : "failed, signal " + std::to_string(WTERMSIG(status));
        report(a.models[r.model], how, seconds, said);
    }
    if (stopped_by) {
        for (; next < a.models.size(); ++next) report(a.models[next], "cancelled, not started", 0, {});
        std::fprintf(stderr, "velmora-host: the batch was stopped by signal %d\n", static_cast<int>(stopped_by));
        return 128 + stopped_by;
    }
    if (failed) std::fprintf(stderr, "velmora-host: %zu of %zu models failed\n", failed, a.models.size());
    return failed ? 1 : 0;
}

}  // namespace velmora::host
