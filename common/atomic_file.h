#pragma once
#include <string>
#include <string_view>
#include <sys/types.h>

namespace velmora::files {

// A file that replaces `path` whole or not at all: the text goes to a
// temporary file beside it, which commit() syncs and renames over the
// target. Until then (and on every failure) the target keeps its old
// content, and the temporary file is removed when this object goes, or
// when SIGTERM, SIGINT or SIGHUP arrive first (before the signal's own
// handling). A replaced file's permission bits carry over to the new one.
//
// Only a regular file or a path that does not exist is replaced that way.
// A symbolic link is followed: the file it points to is replaced and the
// link stays. A device or FIFO (/dev/null, a pipe) is written straight
// into, with no temporary file; its errors (ENOSPC on /dev/full) fail.
//
// Failures throw std::runtime_error "Unable to write <what> '<path>': <the
// system's reason>", so the message tells the user which file and why.
class AtomicFile {
public:
    AtomicFile(std::string path, std::string what);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    void write(std::string_view text);
    void commit();

    const std::string& path() const { return path_; }

private:
    [[noreturn]] void fail(int error);
    void discard() noexcept;

    std::string path_, what_;
    std::string target_;     // the file written: `path` with its links followed
    std::string temporary_;  // empty when writing straight into the target
    int fd_ = -1;
    int slot_ = -1;  // of the temporary among those a signal removes
    bool committed_ = false;
    off_t written_ = 0, started_ = 0;
};

// The whole text as one file, through AtomicFile.
void replace_file(const std::string& path, std::string_view text, const std::string& what);

}  // namespace velmora::files
