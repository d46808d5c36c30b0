// Replacing a file whole or not at all: what the ZEL export and the EMC save
// rely on to lose nothing.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/atomic_file.h"
#include "tests/scratch.h"

using velmora::files::AtomicFile;
using velmora::files::replace_file;
using velmora::testing::read_text;
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
    EXPECT_EQ(read_text(path), "new");
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
    EXPECT_EQ(read_text(path), "previous");
    EXPECT_EQ(folder.entries(), 2u);  // the old file and the folder: no temporary file
}

// Only a regular file is replaced: a link's file is replaced with the link
// kept, a device or FIFO is written into (its errors fail), and a signal
// that ends the program mid-write leaves no temporary file.
TEST(AtomicFile, PathsThatAreNoPlainFile)
{
    Folder folder;
    std::ofstream(folder / "real.zel") << "old";
    fs::create_symlink("real.zel", folder / "link.zel");
    replace_file(folder / "link.zel", "new", "the ZEL file");
    EXPECT_TRUE(fs::is_symlink(folder / "link.zel"));
    EXPECT_EQ(read_text(folder / "real.zel"), "new");

    // A FIFO's reader gets the text.
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    std::string heard;
    std::thread reader([&] { heard = read_text(folder / "pipe"); });
    replace_file(folder / "pipe", "through", "the ZEL file");
    reader.join();
    EXPECT_EQ(heard, "through");
    EXPECT_EQ(fs::status(folder / "pipe").type(), fs::file_type::fifo);

    // Devices like /dev/null and /dev/full, made here (root only).
    if (::mknod((folder / "null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0 &&
        ::mknod((folder / "full").c_str(), S_IFCHR | 0666, ::makedev(1, 7)) == 0) {
        replace_file(folder / "null", "gone", "the ZEL file");
        EXPECT_EQ(failure([&] { replace_file(folder / "full", "x", "the ZEL file"); }),
                  "Unable to write the ZEL file '" + folder / "full" + "': No space left on device");
        EXPECT_EQ(fs::status(folder / "null").type(), fs::file_type::character);
        EXPECT_EQ(fs::status(folder / "full").type(), fs::file_type::character);
    }

    // SIGTERM in the middle: the program ends as the signal would end it,
    // its temporary file gone, the target as it was.
    const pid_t child = ::fork();
    if (child == 0) {
        AtomicFile file(folder / "real.zel", "the ZEL file");
        file.write("half");
        ::raise(SIGTERM);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(read_text(folder / "real.zel"), "new");
    for (const auto& entry : fs::directory_iterator(folder.path))
        EXPECT_EQ(entry.path().filename().string().find(".zel."), std::string::npos) << entry.path();
}
