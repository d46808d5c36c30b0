#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace velmora::files {
namespace {

// The disk is started on every few megabytes, so the closing fsync finds
// little left to do and writing overlaps the work that produces the text.
constexpr off_t kStartEvery = 4 << 20;

// A replaced file keeps its permissions (a private 0600 file stays
// private); a new one gets what the user's umask allows.
mode_t mode_for(const std::string& path)
{
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) return old.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

AtomicFile::AtomicFile(std::string path, std::string what) : path_(std::move(path)), what_(std::move(what))
{
    temporary_ = path_ + ".XXXXXX";
    fd_ = ::mkostemp(temporary_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        temporary_.clear();
        fail(errno);
    }
}

AtomicFile::~AtomicFile() { discard(); }

void AtomicFile::discard() noexcept
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

void AtomicFile::fail(int error)
{
    discard();
    throw std::runtime_error("Unable to write " + what_ + " '" + path_ + "': " + std::strerror(error));
}

void AtomicFile::write(std::string_view text)
{
    if (fd_ < 0) throw std::logic_error("AtomicFile: write after commit or failure");
    while (!text.empty()) {
        const ssize_t n = ::write(fd_, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        text.remove_prefix(static_cast<std::size_t>(n));
        written_ += n;
    }
    if (written_ - started_ >= kStartEvery) {
        // Only a hint: a failure shows in fsync.
        (void)::sync_file_range(fd_, started_, written_ - started_, SYNC_FILE_RANGE_WRITE);
        started_ = written_;
    }
}

void AtomicFile::commit()
{
    if (fd_ < 0) throw std::logic_error("AtomicFile: commit after commit or failure");
    if (::fchmod(fd_, mode_for(path_)) != 0 || ::fsync(fd_) != 0) fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail(errno);
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) fail(errno);
    committed_ = true;
    temporary_.clear();
}

void replace_file(const std::string& path, std::string_view text, const std::string& what)
{
    AtomicFile file(path, what);
    file.write(text);
    file.commit();
}

}  // namespace velmora::files
