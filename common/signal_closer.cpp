#include "signal_closer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include <QApplication>
#include <QSocketNotifier>

namespace {

// The handler may only write; the event loop reads the other end.
int signal_pipe[2] = {-1, -1};

void note_signal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signal_pipe[0], &byte, 1);
}

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

}  // namespace

SignalCloser::SignalCloser(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signal_pipe) != 0) return;
    notifier = new QSocketNotifier(signal_pipe[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SignalCloser::on_signal);
    struct sigaction action {};
    action.sa_handler = note_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kSignals) ::sigaction(sig, &action, nullptr);
}

SignalCloser::~SignalCloser()
{
    for (int sig : kSignals) std::signal(sig, SIG_DFL);
    delete notifier;
    for (int& fd : signal_pipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

void SignalCloser::on_signal()
{
    char bytes[16];
    [[maybe_unused]] const ssize_t n = ::read(signal_pipe[1], bytes, sizeof bytes);
    // Also closes an open message box, so a start-up error ends too.
    QApplication::closeAllWindows();
}
