#pragma once
#include <string>
#include <string_view>
#include <sys/types.h>

namespace velmora::files {

// A file that replaces `path` whole or not at all: the text goes to a
// temporary file beside it, which commit() syncs and renames over the
// target. Until then (and on every failure) the target keeps its old
// content, and the temporary file is removed when this object goes.
// A replaced file's permission bits carry over to the new one.
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

    std::string path_, what_, temporary_;
    int fd_ = -1;
    bool committed_ = false;
    off_t written_ = 0, started_ = 0;
};

// The whole text as one file, through AtomicFile.
void replace_file(const std::string& path, std::string_view text, const std::string& what);

}  // namespace velmora::files
