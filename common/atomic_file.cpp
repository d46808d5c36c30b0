#include "atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
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

// `path` with every symbolic link along its last component followed (a
// link to a link, a relative link); the link itself is never replaced.
std::string followed(std::string path, int& error)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n < 0) {
            error = errno;
            return path;
        }
        target[n] = '\0';
        if (target[0] == '/') {
            path = target;
        } else {
            const auto slash = path.rfind('/');
            path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + target;
        }
    }
    error = ELOOP;
    return path;
}

// The temporary files being written, for a signal to remove: fixed slots,
// so the handler needs no lock and no allocation.
constexpr int kSlots = 32;
struct Slot {
    std::atomic<bool> used{false};
    std::atomic<bool> ready{false};
    char path[PATH_MAX];
};
std::array<Slot, kSlots> slots;

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction previous[std::size(kSignals)];

void remove_temporaries(int signal)
{
    const int saved = errno;
    for (Slot& slot : slots)
        if (slot.ready.load()) ::unlink(slot.path);
    // Then the signal's own handling, as it was.
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        if (kSignals[i] != signal) continue;
        const struct sigaction& before = previous[i];
        if (before.sa_handler == SIG_IGN) break;
        if (before.sa_handler == SIG_DFL) {
            ::signal(signal, SIG_DFL);
            ::raise(signal);  // delivered when this handler returns
        } else if (before.sa_flags & SA_SIGINFO) {
            before.sa_sigaction(signal, nullptr, nullptr);
        } else {
            before.sa_handler(signal);
        }
    }
    errno = saved;
}

// Installed with the first temporary file, in front of whatever handled
// the signals before.
void install_handlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = remove_temporaries;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &action, &previous[i]);
    });
}

int remember(const std::string& path)
{
    if (path.size() >= PATH_MAX) return -1;
    install_handlers();
    for (int i = 0; i < kSlots; ++i) {
        bool free = false;
        if (!slots[i].used.compare_exchange_strong(free, true)) continue;
        std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
        slots[i].ready = true;
        return i;
    }
    return -1;  // more at once than there are slots: that one is not removed on a signal
}

void forget(int slot)
{
    if (slot < 0) return;
    slots[static_cast<std::size_t>(slot)].ready = false;
    slots[static_cast<std::size_t>(slot)].used = false;
}

}  // namespace

AtomicFile::AtomicFile(std::string path, std::string what) : path_(std::move(path)), what_(std::move(what))
{
    int error = 0;
    target_ = followed(path_, error);
    if (error) fail(error);
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        // Not a file to replace: written into as it is.
        fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0) fail(errno);
        return;
    }
    temporary_ = target_ + ".XXXXXX";
    fd_ = ::mkostemp(temporary_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        temporary_.clear();
        fail(errno);
    }
    slot_ = remember(temporary_);
}

AtomicFile::~AtomicFile() { discard(); }

void AtomicFile::discard() noexcept
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
    forget(slot_);
    slot_ = -1;
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
    if (!temporary_.empty() && written_ - started_ >= kStartEvery) {
        // Only a hint: a failure shows in fsync.
        (void)::sync_file_range(fd_, started_, written_ - started_, SYNC_FILE_RANGE_WRITE);
        started_ = written_;
    }
}

void AtomicFile::commit()
{
    if (fd_ < 0) throw std::logic_error("AtomicFile: commit after commit or failure");
    if (temporary_.empty()) {
        // A device or FIFO: nothing to sync or rename, but close may still fail.
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) fail(errno);
        committed_ = true;
        return;
    }
    if (::fchmod(fd_, mode_for(target_)) != 0 || ::fsync(fd_) != 0) fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail(errno);
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) fail(errno);
    committed_ = true;
    forget(slot_);
    slot_ = -1;
    temporary_.clear();
}

void replace_file(const std::string& path, std::string_view text, const std::string& what)
{
    AtomicFile file(path, what);
    file.write(text);
    file.commit();
}

}  // namespace velmora::files
