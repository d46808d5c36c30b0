// Plays the GUI in tests: records how it was started (its pid, arguments,
// and whether it may be interrupted: SIGINT or SIGTERM blocked or not), then
// acts as told by FAKE_GUI_MODE: "stop" connects and calls stop_rpc_service,
// "wait" sleeps until it is killed.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "cad_rpc_connection.h"

int main(int argc, char** argv)
{
    // Written whole, then renamed: a reader never sees half of it.
    if (const char* out = std::getenv("FAKE_GUI_OUT")) {
        const std::string part = std::string(out) + ".part";
        {
            std::ofstream f(part);
            f << ::getpid() << "\n" << (argc - 1);
            for (int i = 1; i < argc; ++i) f << "\n" << argv[i];
            sigset_t mask;
            ::sigprocmask(SIG_SETMASK, nullptr, &mask);
            const bool blocked = ::sigismember(&mask, SIGINT) || ::sigismember(&mask, SIGTERM);
            f << "\n" << (blocked ? "signals blocked" : "signals open") << "\n";
        }
        std::rename(part.c_str(), out);
    }
    const std::string mode = std::getenv("FAKE_GUI_MODE") ? std::getenv("FAKE_GUI_MODE") : "wait";
    if (mode == "stop" && argc == 2) {
        CAD_RPC::CAD_RPC_Connection c(std::atoi(argv[1]));
        c.client().stop_rpc_service();
        return 0;
    }
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}
