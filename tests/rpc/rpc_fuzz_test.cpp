// Malformed messages against a live export run: bit flips and truncations
// of real calls, huge counts, deep nesting, wrong types, unknown messages and
// garbage. The server must drop each bad connection, never crash or hang,
// never allocate beyond its message-size limit, and keep serving.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <random>
#include <thread>

#include <thrift/TOutput.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/server/TSimpleServer.h>
#include <thrift/transport/TBufferTransports.h>

#include "addin/shell/loopback_server_socket.h"
#include "cad_rpc_connection.h"
#include "tests/loopback.h"
#include "tests/shell/started_run.h"
#include "tests/tree_maker.h"

using namespace velmora;
using namespace std::chrono_literals;
using Bytes = std::string;

namespace {

// What a real client sends for one call.
template <class Send>
Bytes call_bytes(Send send)
{
    auto buffer = std::make_shared<apache::thrift::transport::TMemoryBuffer>();
    auto protocol = std::make_shared<apache::thrift::protocol::TBinaryProtocol>(buffer);
    CAD_RPC::CAD_RPC_ServiceClient client(protocol);
    send(client);
    return buffer->getBufferAsString();
}

// A message written piece by piece with the binary protocol, for pieces no
// client would send; raw() appends bytes as they are.
struct Message {
    std::shared_ptr<apache::thrift::transport::TMemoryBuffer> buffer =
        std::make_shared<apache::thrift::transport::TMemoryBuffer>();
    apache::thrift::protocol::TBinaryProtocol out{buffer};
    explicit Message(const std::string& call = {}, int type = apache::thrift::protocol::T_CALL)
    {
        if (!call.empty()) out.writeMessageBegin(call, static_cast<apache::thrift::protocol::TMessageType>(type), 1);
    }
    Message& raw(const std::string& bytes)
    {
        buffer->write(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
        return *this;
    }
    Bytes bytes() const { return buffer->getBufferAsString(); }
};
using namespace apache::thrift::protocol;

class FuzzedRun : public ::testing::Test, protected velmora::testing::StartedRun {
protected:
    void SetUp() override
    {
        auto doc = model.open_assembly(u"Root");
        auto a = model.add_component(*doc->configuration->root, u"A");
        model.add_body(*a, u"Body")->add_face({{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}});
        model.add_body(*a, u"Body 2");
        port = start();
        ASSERT_GT(port, 0);
    }

    // Sends one message on its own connection, stops writing, and waits for
    // the server to finish with it. False when it neither answers nor drops
    // the connection in time (a hang).
    bool send_and_wait(const Bytes& message)
    {
        const int fd = velmora::testing::connect_to("127.0.0.1", port);
        if (fd < 0) {
            ADD_FAILURE() << "the server took no connection: " << std::strerror(errno);
            return false;
        }
        for (std::size_t done = 0; done < message.size();) {
            const ssize_t n = ::send(fd, message.data() + done, message.size() - done, MSG_NOSIGNAL);
            if (n <= 0) break;  // dropped while we were still sending: fine
            done += static_cast<std::size_t>(n);
        }
        ::shutdown(fd, SHUT_WR);
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        bool closed = false;
        char buffer[4096];
        while (!closed && std::chrono::steady_clock::now() < deadline) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) > 0) {
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                closed = n <= 0;
            }
        }
        ::close(fd);
        return closed;
    }

    void expect_served()
    {
        CAD_RPC::CAD_RPC_Connection connection(port);
        CAD_RPC::Tree tree;
        connection.client().get_cad_tree(tree);
        EXPECT_EQ(tree.nodes.size(), 4u);
    }

    int port = 0;
};

long peak_rss_kb()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

TEST_F(FuzzedRun, MalformedMessagesAreDroppedAndTheServerKeepsServing)
{
    // Calls that change nothing outside the run (no export: a flipped bit in
    // a path could name any file).
    const std::vector<Bytes> calls = {
        call_bytes([](auto& c) { c.send_get_cad_tree(); }),
        call_bytes([](auto& c) { c.send_set_highlight_status_of_ids({1, 2, 3}, true); }),
        call_bytes([](auto& c) { c.send_refresh_display(); }),
        call_bytes([](auto& c) { c.send_get_persistent_ids({1, 2}); }),
        call_bytes([](auto& c) { c.send_get_node_ids({"1 2 3 ", "Узел"}); }),
        call_bytes([](auto& c) { c.send_get_min_size_comparison_results(0.5, {1, 2, 3}); }),
    };
    CAD_RPC::Tree tree;
    tree.nodes[0].name = "Root";
    tree.nodes[0].children_ids = {1};
    tree.nodes[1].type = CAD_RPC::NodeType::Solid;
    CAD_RPC::Settings settings;
    settings.save_filepath = "never-written.zel";
    const Bytes export_call = call_bytes([&](auto& c) { c.send_export_zel(tree, settings); });

    std::mt19937 rng(20261207);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    std::vector<std::pair<const char*, std::function<Bytes()>>> kinds = {
        {"bit flips", [&] {
             Bytes b = calls[pick(calls.size())];
             for (std::size_t k = 0, n = 1 + pick(4); k < n; ++k) b[pick(b.size())] ^= static_cast<char>(1 << pick(8));
             return b;
         }},
        {"truncations", [&] {
             const Bytes& b = pick(4) == 0 ? export_call : calls[pick(calls.size())];
             return b.substr(0, pick(b.size()));
         }},
        {"huge counts", [&] {
             const int32_t counts[] = {0x7fffffff, -1, -0x7fffffff, 0x10000000, 0x05f5e0ff /* just below 100 MB */};
             const int32_t count = counts[pick(5)];
             switch (pick(4)) {
             case 0: {  // the method name
                 Message m;
                 m.out.writeI32(static_cast<int32_t>(0x80010001u));
                 m.out.writeI32(count);
                 return m.raw("get_cad_tree").bytes();
             }
             case 1: {  // a list of ids
                 Message m("get_persistent_ids");
                 m.out.writeFieldBegin("", T_LIST, 1);
                 m.out.writeListBegin(T_I32, static_cast<uint32_t>(count));
                 m.out.writeI32(7);
                 return m.bytes();
             }
             case 2: {  // a string inside a list
                 Message m("get_node_ids");
                 m.out.writeFieldBegin("", T_LIST, 1);
                 m.out.writeListBegin(T_STRING, 1);
                 m.out.writeI32(count);
                 return m.raw("abc").bytes();
             }
             default: {  // the tree's map of nodes
                 Message m("export_zel");
                 m.out.writeFieldBegin("", T_STRUCT, 1);
                 m.out.writeFieldBegin("", T_I32, 1);
                 m.out.writeI32(0);
                 m.out.writeFieldBegin("", T_MAP, 2);
                 m.out.writeMapBegin(T_I32, T_STRUCT, static_cast<uint32_t>(count));
                 return m.bytes();
             }
             }
         }},
        {"deep nesting", [&] {
             Message m(pick(2) ? "get_cad_tree" : "refresh_display");
             const std::size_t depth = 65 + pick(5000);
             const bool lists = pick(2);
             m.out.writeFieldBegin("", lists ? T_LIST : T_STRUCT, 99);
             for (std::size_t d = 0; d < depth; ++d) {
                 if (lists)
                     m.out.writeListBegin(T_LIST, 1);
                 else
                     m.out.writeFieldBegin("", T_STRUCT, 1);
             }
             return m.bytes();
         }},
        {"wrong field types", [&] {
             const int types[] = {T_STRING, T_STRUCT, T_MAP, T_I32, T_BOOL, T_DOUBLE, T_I64, 99};
             Message m(pick(2) ? "set_highlight_status_of_ids" : "get_node_ids");
             m.out.writeFieldBegin("", static_cast<TType>(types[pick(8)]), 1);
             for (std::size_t k = 0; k < 16; ++k) m.raw(std::string(1, static_cast<char>(pick(256))));
             m.out.writeFieldStop();
             return m.bytes();
         }},
        {"unknown messages", [&] {
             if (pick(2)) return Message("no_such_call_" + std::to_string(pick(1000))).bytes();
             Bytes b = calls[pick(calls.size())];
             b[3] = static_cast<char>(pick(2) ? 0 : 5 + pick(250));  // message type
             return b;
         }},
        {"garbage", [&] {
             Bytes b(1 + pick(600), '\0');
             for (char& c : b) c = static_cast<char>(pick(256));
             return b;
         }},
    };

    // The server logs each refused message; ten thousand lines say nothing here.
    apache::thrift::GlobalOutput.setOutputFunction([](const char*) {});
    const long rss_before = peak_rss_kb();
    int sent = 0;
    for (int round = 0; round < 15; ++round) {
        for (const auto& [kind, make] : kinds) {
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < 100; ++i) {
                ASSERT_TRUE(send_and_wait(make())) << kind << ": the server hung";
                ++sent;
            }
            if (round == 0)
                std::printf("%s: 100 messages in %.3f s\n", kind,
                            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            expect_served();
            ASSERT_NE(run.wait_for(0s), std::future_status::ready) << kind << " ended the run";
        }
    }
    EXPECT_GE(sent, 10000);
    // No announced size may make the server reserve more than the message-size
    // limit (100 MB). AddressSanitizer keeps freed memory aside (256 MB at most).
#if defined(__SANITIZE_ADDRESS__)
    constexpr long kQuarantineKb = 256 * 1024;
#else
    constexpr long kQuarantineKb = 0;
#endif
    EXPECT_LT(peak_rss_kb() - rss_before, 200 * 1024 + kQuarantineKb) << "peak memory grew by " << (peak_rss_kb() - rss_before) << " kB";

    CAD_RPC::CAD_RPC_Connection connection(port);
    connection.client().stop_rpc_service();
    EXPECT_TRUE(ended_within(10s));
}

namespace {

// Answers get_cad_tree with a flat tree of `count` solids under one root.
class BigTreeHandler : public CAD_RPC::CAD_RPC_ServiceNull {
public:
    explicit BigTreeHandler(int32_t count)
    {
        for (int32_t id = 1; id <= count; ++id) tree_.add(0, "Body" + std::to_string(id));
    }
    void get_cad_tree(CAD_RPC::Tree& tree) override { tree = tree_.tree; }
    void export_zel(const CAD_RPC::Tree& tree, const CAD_RPC::Settings&) override { received = tree.nodes.size(); }
    std::size_t received = 0;

private:
    velmora::testing::TreeMaker tree_;
};

}  // namespace

// A million nodes both ways, with the service's own protocol settings.
TEST(BigTree, AMillionNodesCrossTheConnection)
{
    using namespace apache::thrift;
    auto handler = std::make_shared<BigTreeHandler>(1'000'000);
    auto socket = std::make_shared<shell::LoopbackServerSocket>(0);
    server::TSimpleServer server(std::make_shared<CAD_RPC::CAD_RPC_ServiceProcessor>(handler), socket,
                                 shell::make_transport_factory(), shell::make_protocol_factory());
    socket->listen();
    std::thread serving([&] { server.serve(); });
    {
        CAD_RPC::CAD_RPC_Connection connection(socket->bound_port());
        CAD_RPC::Tree tree;
        connection.client().get_cad_tree(tree);
        EXPECT_EQ(tree.nodes.size(), 1'000'001u);
        EXPECT_EQ(tree.nodes.at(1'000'000).name, "Body1000000");
        connection.client().export_zel(tree, CAD_RPC::Settings());
        EXPECT_EQ(handler->received, 1'000'001u);
    }
    server.stop();
    serving.join();
}
