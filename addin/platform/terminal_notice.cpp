#include "terminal_notice.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <stdexcept>

namespace velmora::platform {
namespace {

std::atomic<int> g_signal_fd{-1};

void on_signal(int)
{
    int fd = g_signal_fd.load();
    if (fd >= 0) {
        char c = 's';
        [[maybe_unused]] auto n = ::write(fd, &c, 1);
    }
}

}  // namespace

TerminalNotice::TerminalNotice()
{
    if (::pipe2(wake_pipe_, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("Unable to create the notice's pipe");
}

TerminalNotice::~TerminalNotice()
{
    ::close(wake_pipe_[0]);
    ::close(wake_pipe_[1]);
}

void TerminalNotice::wake()
{
    char c = 'w';
    [[maybe_unused]] auto n = ::write(wake_pipe_[1], &c, 1);
}

void TerminalNotice::present_and_wait(const std::string& caption, const std::string& text)
{
    std::fprintf(stderr, "\n[%s]\n%s\n", caption.c_str(), text.c_str());
    const bool interactive = ::isatty(STDIN_FILENO) == 1;
    if (interactive) std::fprintf(stderr, "(Enter closes this notice)\n");
    std::fflush(stderr);

    // SIGINT and SIGTERM dismiss the notice instead of killing the host
    // in the middle of the run; the old handlers come back afterwards.
    g_signal_fd.store(wake_pipe_[1]);
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    struct sigaction old_int {}, old_term {};
    ::sigaction(SIGINT, &sa, &old_int);
    ::sigaction(SIGTERM, &sa, &old_term);
    // A host may block the two signals for the run so that one sent before
    // the notice is up waits instead of killing it; this thread takes them.
    sigset_t dismissing, old_mask;
    sigemptyset(&dismissing);
    sigaddset(&dismissing, SIGINT);
    sigaddset(&dismissing, SIGTERM);
    ::pthread_sigmask(SIG_UNBLOCK, &dismissing, &old_mask);

    bool stdin_open = interactive;
    while (!finished()) {
        pollfd fds[2] = {{wake_pipe_[0], POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        int r = ::poll(fds, stdin_open ? 2 : 1, -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents & POLLIN) {
            char buf[16];
            while (::read(wake_pipe_[0], buf, sizeof buf) > 0) {
            }
            // A signal (or close) ends the wait; close() has set finished already.
            break;
        }
        if (stdin_open && (fds[1].revents & (POLLIN | POLLHUP))) {
            char buf[256];
            ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
            if (n <= 0) {
                stdin_open = false;  // end of input: keep waiting for the other ways
                continue;
            }
            bool enter = false;
            for (ssize_t i = 0; i < n; ++i) enter = enter || buf[i] == '\n';
            if (enter) break;
        }
    }

    ::pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
    ::sigaction(SIGINT, &old_int, nullptr);
    ::sigaction(SIGTERM, &old_term, nullptr);
    g_signal_fd.store(-1);
}

}  // namespace velmora::platform
