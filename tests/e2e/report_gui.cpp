// A stand-in GUI that reports what it was started with: its arguments and
// whether SIGINT or SIGTERM is blocked, into the file $REPORT_GUI_FILE.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    const char* file = std::getenv("REPORT_GUI_FILE");
    if (!file) return 2;
    sigset_t mask;
    sigprocmask(SIG_SETMASK, nullptr, &mask);
    const std::string part = std::string(file) + ".part";
    {
        std::ofstream out(part);
        out << "arguments " << argc - 1 << "\n";
        if (argc > 1) out << "port " << argv[1] << "\n";
        out << "SIGINT " << (sigismember(&mask, SIGINT) ? "blocked" : "open") << "\n";
        out << "SIGTERM " << (sigismember(&mask, SIGTERM) ? "blocked" : "open") << "\n";
    }
    std::filesystem::rename(part, file);
    return 0;
}
