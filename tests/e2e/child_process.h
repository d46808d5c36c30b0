#pragma once
// Runs a program as a child with its output on pipes, for tests that drive
// the real programs.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace velmora::testing {

// Every process whose parent is `pid`.
inline std::vector<pid_t> children_of(pid_t pid)
{
    std::vector<pid_t> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) continue;
        std::istringstream rest(line.substr(line.rfind(')') + 2));
        char state = 0;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid == pid) found.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return found;
}


class ChildProcess {
public:
    // `env` entries ("NAME=value") are added to the test's own environment.
    // Standard input is empty, or a pipe that send() writes to.
    explicit ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                          bool piped_input = false)
    {
        int out[2], err[2], in[2] = {-1, -1};
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) std::abort();
        if (piped_input && ::pipe2(in, O_CLOEXEC) != 0) std::abort();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            const int input = piped_input ? in[0] : ::open("/dev/null", O_RDONLY);
            ::dup2(input, STDIN_FILENO);
            for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
            std::vector<char*> args;
            for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
        if (piped_input) {
            ::close(in[0]);
            in_ = in[1];
        }
    }
    ~ChildProcess()
    {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
        ::close(err_);
        if (in_ >= 0) ::close(in_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    // Writes a line to the child's standard input (piped_input only).
    bool send(const std::string& line)
    {
        const std::string text = line + "\n";
        return in_ >= 0 && ::write(in_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    // The next line of standard output; none when it ends or the time runs out.
    std::optional<std::string> read_line(std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto nl = out_text_.find('\n');
            if (nl != std::string::npos) {
                std::string line = out_text_.substr(0, nl);
                out_text_.erase(0, nl + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !pump(out_, out_text_, static_cast<int>(left.count()))) return std::nullopt;
        }
    }

    // Waits for the exit code (-1 for a signal); none when the time runs out.
    std::optional<int> wait(std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!status_) {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
            drain();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        drain();
        return status_;
    }

    // All of standard error so far.
    const std::string& error_text()
    {
        drain();
        return err_text_;
    }

private:
    // Reads what arrives within `timeout_ms`; false at the end of the stream or on timeout.
    static bool pump(int fd, std::string& into, int timeout_ms)
    {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeout_ms) <= 0) return false;
        char buf[4096];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) return false;
        into.append(buf, static_cast<std::size_t>(n));
        return true;
    }
    // Takes in what standard error holds now, so the child never blocks on a full pipe.
    void drain()
    {
        while (pump(err_, err_text_, 0)) {
        }
    }

    pid_t pid_ = -1;
    int out_ = -1, err_ = -1, in_ = -1;
    std::string out_text_, err_text_;
    std::optional<int> status_;
};

// The port that a starting run announces ("serving on port N") on the
// child's standard output; 0 when none comes in time.
inline int serving_port(ChildProcess& child, std::chrono::seconds timeout = std::chrono::seconds(120))
{
    while (const auto line = child.read_line(timeout)) {
        std::smatch m;
        if (std::regex_search(*line, m, std::regex("serving on port (\\d+)"))) return std::stoi(m[1]);
    }
    return 0;
}

}  // namespace velmora::testing
