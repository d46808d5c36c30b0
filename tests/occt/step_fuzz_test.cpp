// Damaged STEP files: every mutation of a small valid file gives a CAD tree
// or a clear error from the OpenCASCADE host, within a time bound. Each read
// runs in a child process, so that a crash shows as a crash.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "addin/cad/cad_object_registry.h"
#include "addin/cad/cad_tree_builder.h"
#include "host_interface/host.h"
#include "examples/edge_case_models.h"
#include "examples/xde_builder.h"
#include "hosts/occt/occt_host.h"
#include "tests/scratch.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// 0: a tree; 3: a clear error; anything else is a fault. A read is bounded
// by its own CPU time, so that a loaded machine cannot fail it: a parser that
// runs away dies of SIGXCPU; one that waits for nothing meets the wall bound.
constexpr int kRanAway = 100 + SIGXCPU, kHung = -1;

int read_in_child(const std::string& path, std::chrono::seconds cpu_limit)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit cpu{static_cast<rlim_t>(cpu_limit.count()), static_cast<rlim_t>(cpu_limit.count() + 1)};
        ::setrlimit(RLIMIT_CPU, &cpu);
        int code = 4;
        try {
            auto app = velmora::occt::open_occt_application(path);
            velmora::cad::CAD_ObjectRegistry registry(app->get_active_document(), app);
            CAD_RPC::Tree tree;
            velmora::cad::build_cad_tree(registry, tree);
            code = tree.nodes.count(tree.root_id) ? 0 : 5;
        } catch (const std::exception& e) {
            code = std::string(e.what()).empty() ? 6 : 3;
        } catch (...) {
            code = 7;
        }
        ::_exit(code);
    }
    const auto deadline = std::chrono::steady_clock::now() + 3 * cpu_limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return kHung;
        }
        std::this_thread::sleep_for(5ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

}  // namespace

TEST(StepFuzz, DamagedFilesGiveATreeOrAClearError)
{
    const fs::path dir = velmora::testing::scratch("step-fuzz");
    const fs::path valid = dir / "valid.step";
    velmora::examples::write_shape(velmora::examples::block_with_a_hole(), valid.string());
    const std::string text = velmora::testing::read_text(valid);
    ASSERT_EQ(read_in_child(valid.string(), 60s), 0);

    std::mt19937 rng(7);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    const std::string tokens[] = {"#", "(", ")", ",", "'", ";", "$", "*", ".T.", "#999999", "-1.E+308", "1.E400", "''", "\n"};
    int trees = 0, errors = 0;
    for (int i = 0; i < 200; ++i) {
        std::string m = text;
        switch (i % 5) {
        case 0:  // scattered byte changes
            for (int k = 0; k < 1 + static_cast<int>(pick(20)); ++k) m[pick(m.size())] = static_cast<char>(pick(256));
            break;
        case 1:  // a cut anywhere
            m.resize(pick(m.size()));
            break;
        case 2:  // a line gone or doubled
            for (int k = 0; k < 1 + static_cast<int>(pick(5)); ++k) {
                const std::size_t at = m.find('\n', pick(m.size()));
                if (at == std::string::npos) continue;
                const std::size_t end = m.find('\n', at + 1);
                const std::string line = m.substr(at, end == std::string::npos ? std::string::npos : end - at);
                if (pick(2)) m.erase(at, line.size()); else m.insert(at, line);
            }
            break;
        case 3:  // syntax tokens and odd numbers dropped in
            for (int k = 0; k < 1 + static_cast<int>(pick(10)); ++k) m.insert(pick(m.size()), tokens[pick(std::size(tokens))]);
            break;
        default:  // references pointed elsewhere
            for (int k = 0; k < 1 + static_cast<int>(pick(10)); ++k) {
                const std::size_t at = m.find('#', pick(m.size()));
                if (at != std::string::npos && at + 1 < m.size()) m[at + 1] = static_cast<char>('0' + pick(10));
            }
            break;
        }
        const fs::path file = dir / ("mutant" + std::to_string(i) + ".step");
        std::ofstream(file, std::ios::binary) << m;
        const int result = read_in_child(file.string(), 20s);
        ASSERT_TRUE(result == 0 || result == 3) << "mutation " << i << " (kind " << i % 5 << ") gave " << result
                                                << (result == kRanAway ? " (ran away)" : result == kHung ? " (hung)" : "")
                                                << "; kept at " << file;
        (result == 0 ? trees : errors)++;
        fs::remove(file);
    }
    // Both outcomes occur: the mutations are neither all harmless nor all fatal.
    EXPECT_GT(trees, 0);
    EXPECT_GT(errors, 0);
    std::printf("200 damaged files: %d trees, %d clear errors\n", trees, errors);
    fs::remove_all(dir);
}
