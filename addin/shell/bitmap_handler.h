#pragma once
#include <optional>
#include <string>
#include <vector>

namespace velmora::shell {

// Writes the command's bitmaps to files the host can read (it takes icon
// file paths) and removes them again on disconnect.
class CBitmapHandler {
public:
    ~CBitmapHandler();
    // Resource ids 242-247 (group icon, 20 to 128 px) and 248-253 (strips of
    // three command images). None on any failure (unknown id, no temporary
    // folder, short write).
    std::optional<std::string> create_bitmap_file(int resource_id);
    void delete_bitmap_files();
    const std::vector<std::string>& files() const { return files_; }

private:
    std::vector<std::string> files_;
};

// The 24-bit bitmap of a resource id as a BMP file's bytes; empty for an unknown id.
std::string bitmap_resource(int resource_id);

}  // namespace velmora::shell
