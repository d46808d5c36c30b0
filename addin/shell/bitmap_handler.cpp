#include "bitmap_handler.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace velmora::shell {
namespace {

constexpr int kSizes[6] = {20, 32, 40, 64, 96, 128};

void put16(std::string& out, std::uint16_t v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void put32(std::string& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

struct Rgb {
    std::uint8_t r, g, b;
};

// One square image: a coloured tile with a white "Z" (the ZEL mark).
Rgb pixel(int x, int y, int size, Rgb tile)
{
    const int margin = size / 5, stroke = std::max(1, size / 10);
    const bool inside = x >= margin && x < size - margin && y >= margin && y < size - margin;
    if (inside) {
        const int top = margin, bottom = size - margin - 1;
        const bool bar = y < top + stroke || y > bottom - stroke;
        // The diagonal from the top right to the bottom left (y grows downwards).
        const int diag_x = (size - margin - 1) - (y - top) * (size - 2 * margin - 1) / std::max(1, bottom - top);
        const bool diagonal = std::abs(x - diag_x) < stroke;
        if (bar || diagonal) return {255, 255, 255};
    }
    return tile;
}

std::string bmp(int width, int height, int images)
{
    static const Rgb tiles[3] = {{30, 90, 170}, {30, 140, 80}, {170, 70, 40}};
    const int row = (width * 3 + 3) & ~3;
    std::string out;
    out += "BM";
    put32(out, static_cast<std::uint32_t>(54 + row * height));
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height));
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(row * height));
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    const int size = width / images;
    for (int y = height - 1; y >= 0; --y) {  // bottom-up rows
        std::string line;
        for (int x = 0; x < width; ++x) {
            const Rgb p = pixel(x % size, y, size, tiles[(x / size) % 3]);
            line += static_cast<char>(p.b);
            line += static_cast<char>(p.g);
            line += static_cast<char>(p.r);
        }
        line.resize(static_cast<std::size_t>(row), '\0');
        out += line;
    }
    return out;
}

std::string temp_folder()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = tmp && *tmp ? tmp : "/tmp";
    if (dir.back() != '/') dir += '/';
    return dir;
}

}  // namespace

std::string bitmap_resource(int id)
{
    if (id >= 242 && id <= 247) {
        const int s = kSizes[id - 242];
        return bmp(s, s, 1);
    }
    if (id >= 248 && id <= 253) {
        const int s = kSizes[id - 248];
        return bmp(3 * s, s, 3);
    }
    return {};
}

CBitmapHandler::~CBitmapHandler() { delete_bitmap_files(); }

std::optional<std::string> CBitmapHandler::create_bitmap_file(int resource_id)
{
    const std::string data = bitmap_resource(resource_id);
    if (data.empty()) return std::nullopt;
    std::string name = temp_folder() + "swtXXXXXX.tmp";
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) return std::nullopt;
    const bool ok = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    if (::close(fd) != 0 || !ok) {
        ::unlink(name.c_str());
        return std::nullopt;
    }
    files_.push_back(name);
    return name;
}

void CBitmapHandler::delete_bitmap_files()
{
    for (const auto& f : files_) ::unlink(f.c_str());
    files_.clear();
}

}  // namespace velmora::shell
