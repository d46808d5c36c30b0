// The service over a real loopback connection: dispatch, error replies and
// connection handling that the GUI relies on.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <thread>

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/server/TSimpleServer.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TSocket.h>
#include <thrift/transport/TTransportException.h>

#include "CAD_RPC_Service.h"
#include "addin/shell/loopback_server_socket.h"
#include "cad_rpc_connection.h"

using namespace apache::thrift;
using velmora::shell::LoopbackServerSocket;

namespace {

// A handler that answers from fixed data and fails where told.
class ScriptedHandler : public CAD_RPC::CAD_RPC_ServiceIf {
public:
    void stop_rpc_service() override {}
    void get_cad_tree(CAD_RPC::Tree& tree) override
    {
        tree.root_id = 3;
        tree.nodes[3].id = 3;
        tree.nodes[3].name = "Сборка";
    }
    void set_highlight_status_of_ids(const std::vector<int32_t>& ids, bool) override { highlighted = ids; }
    void refresh_display() override { ++refreshes; }
    void get_persistent_ids(std::vector<std::string>&, const std::vector<int32_t>&) override
    {
        throw std::out_of_range("invalid vector subscript");
    }
    void get_node_ids(std::vector<int32_t>& out, const std::vector<std::string>& in) override
    {
        out.assign(in.size(), -1);
    }
    void get_min_size_comparison_results(std::vector<bool>& out, double, const std::vector<int32_t>& ids) override
    {
        out.assign(ids.size(), true);
    }
    void export_zel(const CAD_RPC::Tree&, const CAD_RPC::Settings& s) override { last_path = s.save_filepath; }

    std::vector<int32_t> highlighted{99};
    int refreshes = 0;
    std::string last_path;
};

class LiveServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        handler = std::make_shared<ScriptedHandler>();
        socket = std::make_shared<LoopbackServerSocket>(0);
        server = std::make_shared<server::TSimpleServer>(
            std::make_shared<CAD_RPC::CAD_RPC_ServiceProcessor>(handler), socket,
            std::make_shared<transport::TBufferedTransportFactory>(),
            std::make_shared<protocol::TBinaryProtocolFactory>());
        socket->listen();
        port = socket->bound_port();
        thread = std::thread([this] { server->serve(); });
    }
    void TearDown() override
    {
        server->stop();
        thread.join();
    }

    std::shared_ptr<ScriptedHandler> handler;
    std::shared_ptr<LoopbackServerSocket> socket;
    std::shared_ptr<server::TSimpleServer> server;
    std::thread thread;
    int port = 0;
};

}  // namespace

TEST_F(LiveServer, ListensOnLoopbackOnly)
{
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    ASSERT_EQ(::getsockname(socket->getSocketFD(), reinterpret_cast<sockaddr*>(&addr), &len), 0);
    ASSERT_EQ(addr.ss_family, AF_INET);
    EXPECT_EQ(ntohl(reinterpret_cast<sockaddr_in*>(&addr)->sin_addr.s_addr), INADDR_LOOPBACK);
    // "localhost" reaches it, as the GUI connects.
    CAD_RPC::CAD_RPC_Connection c("localhost", port);
    c.client().refresh_display();
    EXPECT_EQ(handler->refreshes, 1);
}

TEST_F(LiveServer, CallsCarryTheirArgumentsAndResults)
{
    CAD_RPC::CAD_RPC_Connection c("localhost", port);
    CAD_RPC::Tree tree;
    c.client().get_cad_tree(tree);
    EXPECT_EQ(tree.root_id, 3);
    EXPECT_EQ(tree.nodes.at(3).name, "Сборка");

    c.client().set_highlight_status_of_ids({}, true);  // an empty list is a valid call
    EXPECT_TRUE(handler->highlighted.empty());

    std::vector<int32_t> ids;
    c.client().get_node_ids(ids, {"", "1 2 "});
    EXPECT_EQ(ids, (std::vector<int32_t>{-1, -1}));

    CAD_RPC::Settings s;
    s.save_filepath = "/tmp/out.zel";
    c.client().export_zel(tree, s);
    EXPECT_EQ(handler->last_path, "/tmp/out.zel");
}

TEST_F(LiveServer, HandlerErrorTextReachesTheClientAndConnectionStaysUsable)
{
    CAD_RPC::CAD_RPC_Connection c("localhost", port);
    std::vector<std::string> out;
    try {
        c.client().get_persistent_ids(out, {7});
        FAIL() << "no exception";
    } catch (const TApplicationException& e) {
        EXPECT_STREQ(e.what(), "invalid vector subscript");
        EXPECT_EQ(e.getType(), TApplicationException::UNKNOWN);
    }
    c.client().refresh_display();
    EXPECT_EQ(handler->refreshes, 1);
}

TEST_F(LiveServer, UnknownMethodIsAnsweredAndTheNextCallSucceeds)
{
    CAD_RPC::CAD_RPC_Connection c("localhost", port);
    auto& p = *c.protocol();
    p.writeMessageBegin("get_tree", protocol::T_CALL, 5);
    p.writeStructBegin("get_tree_args");
    p.writeFieldStop();
    p.writeStructEnd();
    p.writeMessageEnd();
    p.getTransport()->flush();

    std::string name;
    protocol::TMessageType type;
    int32_t seq = 0;
    p.readMessageBegin(name, type, seq);
    EXPECT_EQ(type, protocol::T_EXCEPTION);
    EXPECT_EQ(seq, 5);
    TApplicationException x;
    x.read(&p);
    p.readMessageEnd();
    EXPECT_STREQ(x.what(), "Invalid method name: 'get_tree'");
    EXPECT_EQ(x.getType(), TApplicationException::UNKNOWN_METHOD);

    CAD_RPC::Tree tree;
    c.client().get_cad_tree(tree);
    EXPECT_EQ(tree.root_id, 3);
}

TEST_F(LiveServer, ClientLeavingWithoutStopLeavesTheServerAccepting)
{
    {
        CAD_RPC::CAD_RPC_Connection first("localhost", port);
        first.client().refresh_display();
    }
    CAD_RPC::CAD_RPC_Connection second("localhost", port);
    second.client().refresh_display();
    EXPECT_EQ(handler->refreshes, 2);
}

TEST_F(LiveServer, MalformedArgumentsDropOnlyThatConnection)
{
    {
        auto sock = std::make_shared<transport::TSocket>("127.0.0.1", port);
        auto t = std::make_shared<transport::TBufferedTransport>(sock);
        protocol::TBinaryProtocol p(t);
        t->open();
        // export_zel with a Tree lacking its required fields.
        p.writeMessageBegin("export_zel", protocol::T_CALL, 0);
        p.writeStructBegin("args");
        p.writeFieldBegin("tree", protocol::T_STRUCT, 1);
        p.writeStructBegin("Tree");
        p.writeFieldStop();
        p.writeStructEnd();
        p.writeFieldEnd();
        p.writeFieldStop();
        p.writeStructEnd();
        p.writeMessageEnd();
        t->flush();
        // No answer: the server drops the connection.
        uint8_t byte;
        EXPECT_THROW(t->readAll(&byte, 1), transport::TTransportException);
    }
    CAD_RPC::CAD_RPC_Connection c("localhost", port);
    c.client().refresh_display();
    EXPECT_EQ(handler->refreshes, 1);
}

TEST(Client, ReplyWithoutSuccessIsAnUnknownResult)
{
    // A reply to get_cad_tree whose result structure is empty.
    auto in = std::make_shared<transport::TMemoryBuffer>();
    protocol::TBinaryProtocol reply(in);
    reply.writeMessageBegin("get_cad_tree", protocol::T_REPLY, 0);
    reply.writeStructBegin("CAD_RPC_Service_get_cad_tree_result");
    reply.writeFieldStop();
    reply.writeStructEnd();
    reply.writeMessageEnd();
    auto out = std::make_shared<transport::TMemoryBuffer>();
    CAD_RPC::CAD_RPC_ServiceClient client(std::make_shared<protocol::TBinaryProtocol>(in),
                                          std::make_shared<protocol::TBinaryProtocol>(out));
    CAD_RPC::Tree tree;
    try {
        client.get_cad_tree(tree);
        FAIL() << "no exception";
    } catch (const TApplicationException& e) {
        EXPECT_STREQ(e.what(), "get_cad_tree failed: unknown result");
        EXPECT_EQ(e.getType(), TApplicationException::MISSING_RESULT);
    }
    // The call went out with the strict version word and sequence id 0.
    const std::string sent = out->getBufferAsString();
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(static_cast<uint8_t>(sent[0]), 0x80);
    EXPECT_EQ(static_cast<uint8_t>(sent[1]), 0x01);
    EXPECT_EQ(static_cast<uint8_t>(sent[3]), 0x01);  // call
}

TEST(Client, ConnectingWhereNothingListensFailsAtOpen)
{
    // Take a free port, then close it.
    int port;
    {
        LoopbackServerSocket s(0);
        s.listen();
        port = s.bound_port();
        s.close();
    }
    EXPECT_THROW(CAD_RPC::CAD_RPC_Connection("localhost", port), transport::TTransportException);
}
