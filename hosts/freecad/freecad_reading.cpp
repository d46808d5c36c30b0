#include "freecad_reading.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <boost/process.hpp>
#include <boost/process/extend.hpp>

namespace velmora::freecad {
namespace {

namespace bp = boost::process;
namespace fs = std::filesystem;

// FreeCAD ends with velmora-host, however velmora-host ends.
struct EndsWithParent : bp::extend::handler {
    template <class Executor>
    void on_exec_setup(Executor&) const
    {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    }
};

// A temporary folder for the snapshot and FreeCAD's log, removed with its scope.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "velmora-freecad-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder for FreeCAD");
        path_ = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string contents(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The last lines FreeCAD wrote, where it said why it gave nothing.
std::string tail(const std::string& log, int lines = 10)
{
    std::size_t at = log.size();
    for (int i = 0; i < lines && at > 0; ++i) {
        const auto end_of_line = log.rfind('\n', at - 1);
        at = end_of_line == std::string::npos ? 0 : end_of_line;
    }
    return "\n" + log.substr(at);
}

}  // namespace

std::string freecad_command_program()
{
    if (const char* set = std::getenv("VELMORA_FREECADCMD"); set && *set) return set;
    const auto found = bp::search_path("freecadcmd");
    return found.empty() ? std::string() : found.string();
}

FreecadDocument read_freecad_document(const std::string& path, const std::string& addon_dir)
{
    const std::string program = freecad_command_program();
    if (program.empty())
        throw std::runtime_error(path + ": FreeCAD documents are read with FreeCAD's freecadcmd, which is not installed");
    const fs::path script = fs::path(addon_dir) / "VelmoraHeadless.py";
    if (!fs::is_regular_file(script)) throw std::runtime_error("the FreeCAD add-on is missing: no " + script.string());
    const ScratchFolder scratch;
    const fs::path snapshot = scratch.path() / "snapshot.json", log = scratch.path() / "freecad.log";
    auto environment = boost::this_process::environment();
    environment["VELMORA_ADDON"] = fs::absolute(addon_dir).string();
    environment["VELMORA_DOCUMENT"] = fs::absolute(path).string();
    environment["VELMORA_SNAPSHOT"] = snapshot.string();
    int code = -1;
    try {
        bp::child freecad(program, script.string(), environment, bp::std_in<bp::null, (bp::std_out & bp::std_err) > log,
                          EndsWithParent{});
        freecad.wait();
        code = freecad.exit_code();
    } catch (const std::exception& e) {
        throw std::runtime_error(path + ": FreeCAD (" + program + ") could not be started: " + e.what());
    }
    if (!fs::is_regular_file(snapshot))
        throw std::runtime_error(path + ": FreeCAD (" + program + ") ended with " + std::to_string(code) +
                                 " and read nothing:" + tail(contents(log)));
    try {
        return freecad_document_from_json(contents(snapshot));
    } catch (const std::exception& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
}

}  // namespace velmora::freecad
