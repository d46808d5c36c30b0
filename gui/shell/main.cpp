#include <csignal>
#include <string>
#include <vector>

#include <QApplication>

#include "gui/common/node_icons.h"
#include "common/signal_closer.h"
#include "tarvik_start.h"

int main(int argc, char* argv[])
{
    // A write to an add-in that has gone must fail as an error, not kill us.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    SignalCloser closer;
    load_node_icons();
    return run_tarvik(std::vector<std::string>(argv + 1, argv + argc));
}
