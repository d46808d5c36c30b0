// ZEL write throughput against its limit: the same numbers formatted with
// {fmt} into memory and written with one write(). Interleaved repetitions,
// medians, one run: the ratio is what to compare across machines.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "addin/export/zel_writer.h"

using namespace velmora::zel;
using Clock = std::chrono::steady_clock;

namespace {

ZelDocument make_document(std::size_t solids, std::size_t triangles_per_solid)
{
    ZelDocument d;
    d.inform = "ZEL SW Plugin";
    d.majorVersion = 1;
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> coord(-0.5, 0.5);
    for (std::size_t s = 0; s < solids; ++s) {
        SolidElem e;
        e.name = fmt::format("Body{}", s);
        e.color = Colour{200, 100, 50};
        const std::size_t vertices = triangles_per_solid / 2 + 2;
        for (std::size_t v = 0; v < vertices; ++v) e.vertices.push_back({coord(rng), coord(rng), coord(rng)});
        for (std::size_t t = 0; t < triangles_per_solid; ++t)
            e.faces.push_back({t % vertices + 1, (t + 1) % vertices + 1, (t + 2) % vertices + 1});
        d.solid_map[static_cast<Id>(s)] = std::move(e);
        d.solids.push_back(static_cast<Id>(s));
    }
    return d;
}

// The limit: only the numbers, formatted as the file has them, one write.
std::size_t format_and_write(const ZelDocument& d, const std::string& path)
{
    std::string out;
    for (Id id : d.solids) {
        const auto& e = d.solid_map.at(id);
        for (const auto& p : e.vertices) fmt::format_to(std::back_inserter(out), "{:.8}, {:.8}, {:.8};\n", p[0], p[1], p[2]);
        for (const auto& f : e.faces) fmt::format_to(std::back_inserter(out), "{}, {}, {};\n", f[0], f[1], f[2]);
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, out.data(), out.size()) != static_cast<ssize_t>(out.size())) std::abort();
    ::fsync(fd);  // the writer syncs too: compare like with like
    ::close(fd);
    return out.size();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const std::size_t triangles = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1'000'000;
    const int reps = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string dir = argc > 3 ? argv[3] : "/tmp";
    const std::size_t solids = 100;
    const ZelDocument doc = make_document(solids, triangles / solids);
    const std::string zel_path = dir + "/bench-zel.zel", raw_path = dir + "/bench-raw.txt";

    std::vector<double> zel_s, raw_s;
    std::size_t raw_bytes = 0;
    for (int r = 0; r < reps; ++r) {
        auto t0 = Clock::now();
        writeZelDocument(doc, zel_path);
        auto t1 = Clock::now();
        raw_bytes = format_and_write(doc, raw_path);
        auto t2 = Clock::now();
        zel_s.push_back(std::chrono::duration<double>(t1 - t0).count());
        raw_s.push_back(std::chrono::duration<double>(t2 - t1).count());
    }
    FILE* f = std::fopen(zel_path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    const double zel_bytes = static_cast<double>(std::ftell(f));
    std::fclose(f);
    const double zel = median(zel_s), raw = median(raw_s);
    std::printf("triangles %zu, repetitions %d (interleaved, medians)\n", solids * (triangles / solids), reps);
    std::printf("ZEL write      : %.3f s, %.1f MB, %.1f MB/s\n", zel, zel_bytes / 1e6, zel_bytes / 1e6 / zel);
    std::printf("fmt + one write: %.3f s, %.1f MB, %.1f MB/s\n", raw, raw_bytes / 1e6, raw_bytes / 1e6 / raw);
    std::printf("ratio ZEL / limit (time): %.2fx\n", zel / raw);
    std::remove(zel_path.c_str());
    std::remove(raw_path.c_str());
    return 0;
}
