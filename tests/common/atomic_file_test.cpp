// Replacing a file whole or not at all: what the ZEL export and the EMC save
// rely on to lose nothing.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/atomic_file.h"

using velmora::files::AtomicFile;
using velmora::files::replace_file;
namespace fs = std::filesystem;

namespace {

struct Folder {
    fs::path path = fs::path(::testing::TempDir()) / ("atomic-" + std::to_string(::getpid()));
    Folder()
    {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Folder() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    std::size_t entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(path), {})); }
};

std::string read(const std::string& path)
{
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

mode_t mode_of(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// The message of what `write` throws; empty when it does not throw.
template <class Write>
std::string failure(Write write)
{
    try {
        write();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST(AtomicFile, ReplacesTheFileKeepingItsPermissions)
{
    Folder folder;
    const std::string path = folder / "private.zel";
    std::ofstream(path) << "old";
    ::chmod(path.c_str(), 0600);
    replace_file(path, "new", "the ZEL file");
    EXPECT_EQ(read(path), "new");
    EXPECT_EQ(mode_of(path), 0600u);

    // A new file gets what the umask allows.
    const mode_t previous = ::umask(022);
    replace_file(folder / "fresh.zel", "x", "the ZEL file");
    ::umask(previous);
    EXPECT_EQ(mode_of(folder / "fresh.zel"), 0644u);
    EXPECT_EQ(folder.entries(), 2u);
}

TEST(AtomicFile, AFailureKeepsTheOldFileLeavesNothingAndSaysWhy)
{
    Folder folder;
    const std::string path = folder / "kept.emc";
    std::ofstream(path) << "previous";

    // A disk that fills up after 1 kB.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1024;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const std::string full = failure([&] { replace_file(path, std::string(4096, 'x'), "the EMC file"); });
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(full, "Unable to write the EMC file '" + path + "': File too large");

    // Nowhere to put it, or a folder in the way.
    EXPECT_EQ(failure([&] { replace_file(folder / "none/x.emc", "x", "the EMC file"); }),
              "Unable to write the EMC file '" + folder / "none/x.emc" + "': No such file or directory");
    fs::create_directories(folder / "folder.emc/inside");
    EXPECT_EQ(failure([&] { replace_file(folder / "folder.emc", "x", "the EMC file"); }),
              "Unable to write the EMC file '" + folder / "folder.emc" + "': Is a directory");

    // Abandoned before its commit (the producer of the text failed).
    {
        AtomicFile file(path, "the EMC file");
        file.write("half");
    }
    EXPECT_EQ(read(path), "previous");
    EXPECT_EQ(folder.entries(), 2u);  // the old file and the folder: no temporary file
}
