// velmora-host as users run it: the sample model served without a GUI, a
// client over loopback taking the tree and exporting it; and the ways the
// program refuses bad input.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <thread>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

#include <BRepGProp.hxx>
#include <GProp_GProps.hxx>
#include <pugixml.hpp>


#include "cad_rpc_connection.h"
#include "child_process.h"
#include "zel_geometry.h"
#include "tests/scratch.h"
#include "hosts/occt/occt_model.h"
#include "tests/loopback.h"

using namespace std::chrono_literals;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

// The port a started velmora-host serves on.
int start(ChildProcess& host)
{
    const int port = serving_port(host);
    if (port == 0) ADD_FAILURE() << "no port reported; stderr:\n" << host.error_text();
    return port;
}

// OpenCASCADE's own volume of every solid of every placed part.
double model_volume(const velmora::occt::OcctModel& model, const velmora::occt::OcctOccurrence& occurrence)
{
    double sum = 0;
    if (occurrence.part >= 0)
        for (const auto& solid : model.parts[static_cast<std::size_t>(occurrence.part)].solids) {
            GProp_GProps props;
            BRepGProp::VolumeProperties(solid, props);
            sum += props.Mass();
        }
    for (const auto& child : occurrence.children) sum += model_volume(model, child);
    return sum;
}

const CAD_RPC::Node* find(const CAD_RPC::Tree& tree, const std::string& name)
{
    for (const auto& [id, node] : tree.nodes)
        if (node.name == name) return &node;
    return nullptr;
}

}  // namespace

TEST(VelmoraHost, ExportsTheSampleOverRpcWatertightAndWithTheModelsVolume)
{
    const fs::path dir = scratch("export");
    const fs::path tmp = scratch("tmp");
    ChildProcess host({VELMORA_HOST, "--no-window", "--no-gui", "--verbose", "--port", "0", SAMPLE_MODEL},
                      {"TMPDIR=" + tmp.string()});
    const int port = start(host);
    ASSERT_GT(port, 0);
    // The add-in's bitmap files exist while it is connected.
    EXPECT_FALSE(fs::is_empty(tmp));

    CAD_RPC::Tree tree;
    const fs::path out = dir / "sample.zel";
    {
        CAD_RPC::CAD_RPC_Connection connection(port);
        connection.client().get_cad_tree(tree);

        // The sample's structure as the file names it.
        ASSERT_NE(find(tree, "Gearbox-1"), nullptr);
        ASSERT_NE(find(tree, "Shaft-2"), nullptr);
        ASSERT_NE(find(tree, "Bracket mirrored"), nullptr);
        ASSERT_NE(find(tree, "Foot"), nullptr);
        const CAD_RPC::Node* path = find(tree, "Slider path");
        const CAD_RPC::Node* hidden = find(tree, "Centre line");
        const CAD_RPC::Node* boundary = find(tree, "Boundary");
        ASSERT_TRUE(path && hidden && boundary);
        EXPECT_EQ(path->type, CAD_RPC::NodeType::Curve);
        EXPECT_FALSE(hidden->is_visible);
        EXPECT_EQ(boundary->parent_id, tree.root_id);
        EXPECT_EQ(tree.nodes.at(find(tree, "Point2")->parent_id).name, "Rail-1");

        connection.client().export_zel(tree, every_kind(out.string()));
        connection.client().stop_rpc_service();
    }
    const auto code = host.wait(30s);
    ASSERT_TRUE(code.has_value()) << "velmora-host did not end after stop_rpc_service";
    EXPECT_EQ(*code, 0) << host.error_text();
    EXPECT_TRUE(fs::is_empty(tmp)) << "files left in the temporary folder";
    pugi::xml_document zel;
    ASSERT_TRUE(zel.load_file(out.c_str())) << out;
    int solids = 0;
    double volume = 0;
    for (const auto& x : zel.select_nodes("//solid")) {
        const pugi::xml_node solid = x.node();
        const auto vertices = parse_points(solid.child_value("vertices"));
        const auto triangles = parse_triangles(solid.child_value("faces"));
        EXPECT_TRUE(watertight(triangles))
            << solid.parent().attribute("name").value() << "/" << solid.attribute("name").value();
        volume += mesh_volume(vertices, triangles);
        ++solids;
    }
    EXPECT_EQ(solids, 11);
    const auto model = velmora::occt::read_model(SAMPLE_MODEL);
    const double expected = model_volume(model, model.root);
    EXPECT_NEAR(volume, expected, 0.01 * expected);

    // The boundary circle (radius 220 mm about (100, 60, 0) mm) is sampled on the curve.
    int lines = 0;
    for (const auto& x : zel.select_nodes("//line")) {
        ++lines;
        if (std::string(x.node().attribute("name").value()) != "Boundary") continue;
        const auto points = parse_points(x.node().child_value("vertices"));
        ASSERT_GT(points.size(), 100u);
        for (const auto& p : points) EXPECT_NEAR(std::hypot(p[0] - 0.1, p[1] - 0.06), 0.22, 1e-5);
    }
    EXPECT_EQ(lines, 3);
    EXPECT_EQ(zel.select_nodes("//point").size(), 2u);
}

// Each way a run fails: bad arguments and bad models exit with 2, a failed
// export or a run that ends in an exception (its port taken, its GUI
// program missing) with 1; each says why and writes no file. On success the
// headless export writes the file where asked and says so.
TEST(VelmoraHost, EachFailureExitsWithItsCodeSaysWhyAndWritesNothing)
{
    const fs::path dir = scratch("bad");
    const fs::path empty = dir / "empty.step", text = dir / "notes.step", shapeless = dir / "nothing.step";
    const fs::path out = dir / "out.zel";
    write_text(empty, "");
    write_text(text, "these are not the droids\n");
    // A valid STEP file whose data section holds no shape.
    write_text(shapeless, "ISO-10303-21;\nHEADER;\nFILE_DESCRIPTION(('none'),'2;1');\n"
                          "FILE_NAME('nothing.step','',(''),(''),'','','');\n"
                          "FILE_SCHEMA(('AUTOMOTIVE_DESIGN { 1 0 10303 214 1 1 1 1 }'));\nENDSEC;\n"
                          "DATA;\nENDSEC;\nEND-ISO-10303-21;\n");
    const std::string missing = (dir / "missing.step").string(), bad_emc = (dir / "missing.emc").string();
    const velmora::testing::LoopbackSocket taken(true);
    ASSERT_NE(taken.port, 0);
    const std::string port = std::to_string(taken.port);
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string says;
    };
    const Case cases[] = {
        {{}, 2, "no model given"},
        {{"--port"}, 2, "--port needs a value"},
        {{"--port", "70000", SAMPLE_MODEL}, 2, "bad port"},
        {{"--density", "-3", SAMPLE_MODEL}, 2, "bad density"},
        {{"--colour", SAMPLE_MODEL}, 2, "unknown option --colour"},
        {{"--no-gui", "--gui", "/bin/true", SAMPLE_MODEL}, 2, "exclude each other"},
        {{"--no-window", "--no-command", SAMPLE_MODEL}, 2, "exclude each other"},
        {{"--geometry", "800x600", SAMPLE_MODEL}, 2, "bad geometry"},
        {{SAMPLE_MODEL, SAMPLE_MODEL}, 2, "more than one model"},
        {{"--no-gui", missing}, 2, missing},
        {{"--no-gui", empty.string()}, 2, empty.string()},
        {{"--no-gui", text.string()}, 2, text.string()},
        {{"--no-gui", shapeless.string()}, 2, shapeless.string()},
        {{"--no-gui", "--addin", (dir / "none.so").string(), SAMPLE_MODEL}, 2, "cannot load the add-in"},
        {{"--single-mip", SAMPLE_MODEL}, 2, "go with --export"},
        {{"--export", out.string(), "--only", "faces", SAMPLE_MODEL}, 2, "names none of"},
        {{"--export", out.string(), text.string()}, 2, text.string()},
        {{"--export", out.string(), "--emc", bad_emc, SAMPLE_MODEL}, 2, "Unable to load EMC file!"},
        {{"--export", (dir / "no" / "such" / "dir.zel").string(), SAMPLE_MODEL}, 1, "Unable to export a CAD tree!"},
        {{"--no-window", "--no-gui", "--port", port, SAMPLE_MODEL}, 1, "Could not bind"},
        {{"--no-window", "--port", "0", "--gui", "/nonexistent/gui", SAMPLE_MODEL}, 1, "Uncaught exception!"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv{VELMORA_HOST};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        ChildProcess host(argv);
        EXPECT_EQ(host.wait(60s), std::optional<int>(c.code)) << c.says << ": " << host.error_text();
        EXPECT_NE(host.error_text().find(c.says), std::string::npos) << host.error_text();
        EXPECT_FALSE(fs::exists(out) || fs::exists(dir / "no")) << c.says;
    }

    ChildProcess host({VELMORA_HOST, "--export", out.string(), SAMPLE_MODEL});
    ASSERT_EQ(host.wait(60s), std::optional<int>(0)) << host.error_text();
    EXPECT_EQ(host.read_line(5s), std::optional<std::string>("velmora-host: wrote " + out.string()));
    EXPECT_GT(fs::file_size(out), 10000u);
    // Not a terminal: no progress lines.
    EXPECT_EQ(host.error_text(), "");
}

namespace {

bool connects(const std::string& address, int port)
{
    const int fd = velmora::testing::connect_to(address, port);
    if (fd >= 0) ::close(fd);
    return fd >= 0;
}

}  // namespace

// The GUI dies in the middle of its calls: the run goes on serving, a new
// client is served, and dismissing the notice (SIGTERM) ends the run
// leaving nothing: no child, no bitmap file, no open port.
TEST(VelmoraHost, AClientKilledDuringACallLeavesTheRunServing)
{
    const fs::path tmp = scratch("killed");
    ChildProcess host({VELMORA_HOST, "--no-window", "--no-gui", "--port", "0", SAMPLE_MODEL}, {"TMPDIR=" + tmp.string()});
    const int port = start(host);
    ASSERT_GT(port, 0);
    for (int round = 0; round < 3; ++round) {
        // A client that asks for an export and is killed before the answer.
        ChildProcess client({VELMORA_CLIENT, "--port", std::to_string(port), "--keep-running",
                             (tmp / "never.zel").string()});
        std::this_thread::sleep_for(std::chrono::milliseconds(20 * round));
        ::kill(client.pid(), SIGKILL);
        client.wait(10s);
        // A request whose connection is reset before the reply is written.
        CAD_RPC::CAD_RPC_Connection half_way(port);
        half_way.client().send_get_cad_tree();
        half_way.close();
    }
    CAD_RPC::CAD_RPC_Connection next(port);
    CAD_RPC::Tree tree;
    next.client().get_cad_tree(tree);
    EXPECT_EQ(tree.nodes.size(), 26u);
    next.close();

    ::kill(host.pid(), SIGTERM);
    const auto code = host.wait(60s);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0) << host.error_text();
    EXPECT_TRUE(children_of(host.pid()).empty());
    for (const auto& entry : fs::directory_iterator(tmp))
        EXPECT_EQ(entry.path().filename().string().rfind("swt", 0), std::string::npos) << entry.path();
    EXPECT_FALSE(connects("127.0.0.1", port));
}

// The service has no authentication: only loopback may reach it.
TEST(VelmoraHost, OnlyLoopbackReachesTheService)
{
    std::string outside;
    ifaddrs* addresses = nullptr;
    if (::getifaddrs(&addresses) == 0) {
        for (ifaddrs* a = addresses; a && outside.empty(); a = a->ifa_next) {
            if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || (a->ifa_flags & IFF_LOOPBACK)) continue;
            char text[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr, text, sizeof text);
            outside = text;
        }
        ::freeifaddrs(addresses);
    }
    if (outside.empty()) GTEST_SKIP() << "this machine has no address but loopback";
    const fs::path tmp = scratch("loopback");
    ChildProcess host({VELMORA_HOST, "--no-window", "--no-gui", "--port", "0", SAMPLE_MODEL}, {"TMPDIR=" + tmp.string()});
    const int port = start(host);
    ASSERT_GT(port, 0);
    EXPECT_TRUE(connects("127.0.0.1", port));
    EXPECT_FALSE(connects(outside, port)) << outside;
    ::kill(host.pid(), SIGTERM);
    EXPECT_EQ(host.wait(60s), std::optional<int>(0));
}

// A batch: every model in a process of its own, one line each; a model that
// fails spoils no other, and the batch says so with its exit code.
TEST(VelmoraHost, ABatchExportsEveryModelItCanAndReportsEachOne)
{
    const fs::path dir = scratch("batch"), out = dir / "out";
    const fs::path a = dir / "a.step", b = dir / "b.step", bad = dir / "bad.step";
    fs::copy_file(SAMPLE_MODEL, a);
    fs::copy_file(SAMPLE_MODEL, b);
    std::ofstream(bad.string()) << "not a model\n";
    ChildProcess host({VELMORA_HOST, "--export-dir", out.string(), "-j", "2", "--all-visible", a.string(), bad.string(),
                       b.string()});
    ASSERT_EQ(host.wait(120s), std::optional<int>(1)) << host.error_text();
    std::map<std::string, std::string> said;  // model -> its line
    while (const auto line = host.read_line(1s))
        if (line->rfind("velmora-host: ", 0) == 0) said[line->substr(14, line->find(": ", 14) - 14)] = *line;
    ASSERT_EQ(said.size(), 3u);
    EXPECT_NE(said[a.string()].find("wrote " + (out / "a.zel").string()), std::string::npos) << said[a.string()];
    EXPECT_NE(said[bad.string()].find("failed, exit 2"), std::string::npos) << said[bad.string()];
    // The options reach every model's export: nothing hidden with --all-visible.
    const std::string text = read_text(out / "b.zel");
    EXPECT_GT(text.size(), 10000u);
    EXPECT_EQ(text.find("visible=\"false\""), std::string::npos);
    EXPECT_FALSE(fs::exists(out / "bad.zel"));
}

// A batch under a parent that ignores SIGCHLD ends; a model whose name
// starts with "-" comes after "--"; two models of one name are refused
// before the folder is made. SIGTERM stops a batch: its exports end with
// it and are reported cancelled; SIGKILL to it ends its exports too.
TEST(VelmoraHost, BatchesUnderSignals)
{
    const fs::path dir = scratch("batch-signals");
    const fs::path dashed = dir / "-dashed.step", a = dir / "a.step", b = dir / "b.step";
    fs::copy_file(SAMPLE_MODEL, dashed);
    fs::copy_file(SAMPLE_MODEL, a);
    fs::copy_file(SAMPLE_MODEL, b);
    {
        ChildProcess shell({"/bin/bash", "-c", "trap '' CHLD; exec \"$0\" \"$@\"", VELMORA_HOST, "--export-dir",
                            (dir / "out").string(), "--", dashed.string()});
        ASSERT_EQ(shell.wait(120s), std::optional<int>(0)) << shell.error_text();
        EXPECT_TRUE(fs::exists(dir / "out" / "-dashed.zel"));
    }
    {
        ChildProcess host({VELMORA_HOST, "--export-dir", (dir / "never").string(), a.string(), (dir / "x" / "a.step").string()});
        EXPECT_EQ(host.wait(60s), std::optional<int>(2));
        EXPECT_FALSE(fs::exists(dir / "never"));
    }
    for (const int signal : {SIGTERM, SIGKILL}) {
        // An export that cannot end by itself: its file is a FIFO nobody reads.
        const fs::path out = dir / ("held-" + std::to_string(signal));
        fs::create_directories(out);
        ASSERT_EQ(::mkfifo((out / "a.zel").c_str(), 0600), 0);
        ChildProcess host({VELMORA_HOST, "--export-dir", out.string(), "-j", "1", a.string(), b.string()});
        std::vector<pid_t> exports;
        for (int i = 0; i < 500 && exports.empty(); ++i) {
            std::this_thread::sleep_for(20ms);
            exports = velmora::testing::children_of(host.pid());
        }
        ASSERT_EQ(exports.size(), 1u);
        std::this_thread::sleep_for(500ms);
        ::kill(host.pid(), signal);
        const auto code = host.wait(30s);
        ASSERT_TRUE(code.has_value());
        // The export is gone, not left running under init.
        bool gone = false;
        for (int i = 0; i < 250 && !gone; ++i) {
            std::this_thread::sleep_for(20ms);
            gone = ::kill(exports[0], 0) != 0;
        }
        EXPECT_TRUE(gone) << "signal " << signal;
        if (signal == SIGTERM) {
            EXPECT_EQ(*code, 128 + SIGTERM);
            std::string said;
            while (const auto line = host.read_line(1s)) said += *line + "\n";
            EXPECT_NE(said.find(a.string() + ": cancelled"), std::string::npos) << said;
            EXPECT_NE(said.find(b.string() + ": cancelled, not started"), std::string::npos) << said;
        }
    }
}
