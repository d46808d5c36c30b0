// The tree and node identity as the GUI sees them: through the handler and
// a real loopback connection.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/server/TSimpleServer.h>
#include <thrift/transport/TBufferTransports.h>

#include "addin/shell/cad_rpc_service_handler.h"
#include "addin/shell/loopback_server_socket.h"
#include "cad_rpc_connection.h"
#include "hosts/memory/memory_model.h"

using namespace velmora;
using namespace apache::thrift;

namespace {

class ServedAssembly : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto doc = model.open_assembly(u"Станок");
        auto a = model.add_component(*doc->configuration->root, u"A");
        body = model.add_body(*a, u"Корпус");
        body->persistent_id = {12, 0, 255};
        model.add_feature(*doc->content, u"RefCurve", u"Axis", 0);

        auto handler = std::make_shared<shell::CAD_RPC_ServiceHandler>(model.application);
        socket = std::make_shared<shell::LoopbackServerSocket>(0);
        server = std::make_shared<server::TSimpleServer>(
            std::make_shared<CAD_RPC::CAD_RPC_ServiceProcessor>(handler), socket,
            std::make_shared<transport::TBufferedTransportFactory>(),
            std::make_shared<protocol::TBinaryProtocolFactory>());
        socket->listen();
        thread = std::thread([this] { server->serve(); });
        connection = std::make_unique<CAD_RPC::CAD_RPC_Connection>("localhost", socket->bound_port());
    }
    void TearDown() override
    {
        connection.reset();
        server->stop();
        thread.join();
    }

    memory::MemoryModel model;
    std::shared_ptr<memory::MemoryBody> body;
    std::shared_ptr<shell::LoopbackServerSocket> socket;
    std::shared_ptr<server::TSimpleServer> server;
    std::thread thread;
    std::unique_ptr<CAD_RPC::CAD_RPC_Connection> connection;
};

}  // namespace

TEST_F(ServedAssembly, TreeAndIdsCrossTheWire)
{
    auto& client = connection->client();
    CAD_RPC::Tree tree;
    client.get_cad_tree(tree);
    // R 0, A 1, the assembly's curve 2, A's body 3.
    ASSERT_EQ(tree.nodes.size(), 4u);
    EXPECT_EQ(tree.nodes.at(0).name, "Станок");
    EXPECT_EQ(tree.nodes.at(0).parent_id, -1);
    EXPECT_EQ(tree.nodes.at(3).name, "Корпус");
    EXPECT_FALSE(tree.nodes.at(2).is_visible);
    EXPECT_FALSE(tree.__isset.node_parent_ids);

    std::vector<std::string> texts;
    client.get_persistent_ids(texts, {3});
    EXPECT_EQ(texts, std::vector<std::string>{"12 0 255 "});
    std::vector<int32_t> ids;
    client.get_node_ids(ids, {"12 0 255 ", "nothing"});
    EXPECT_EQ(ids, (std::vector<int32_t>{3, -1}));

    client.set_highlight_status_of_ids({3}, true);
    EXPECT_TRUE(body->selected);
    client.refresh_display();
    EXPECT_EQ(model.log->count("Display::redraw"), 1u);

    // A second tree continues the numbering.
    CAD_RPC::Tree again;
    client.get_cad_tree(again);
    EXPECT_EQ(again.root_id, 4);
    client.get_node_ids(ids, {"12 0 255 "});
    EXPECT_EQ(ids, std::vector<int32_t>{7});
}

TEST_F(ServedAssembly, ErrorsReachTheGuiAndTheConnectionLives)
{
    auto& client = connection->client();
    CAD_RPC::Tree tree;
    client.get_cad_tree(tree);
    try {
        client.set_highlight_status_of_ids({3, 99}, true);
        FAIL() << "no error";
    } catch (const TApplicationException& e) {
        EXPECT_STREQ(e.what(), "invalid vector subscript");
    }
    EXPECT_TRUE(body->selected);

    model.application->active_document->configuration->root.reset();
    try {
        client.get_cad_tree(tree);
        FAIL() << "no error";
    } catch (const TApplicationException& e) {
        EXPECT_STREQ(e.what(), "ERROR: assembly has no root component!");
    }
    std::vector<int32_t> ids;
    client.get_node_ids(ids, {});
    EXPECT_TRUE(ids.empty());
}

TEST_F(ServedAssembly, ExportAndSizeComparisonShareOneTessellation)
{
    body->add_face({memory::Facet{{0, 0, 0}, {0.02, 0, 0}, {0, 0.01, 0}}});
    auto& client = connection->client();
    CAD_RPC::Tree tree;
    client.get_cad_tree(tree);
    std::vector<bool> flags;
    client.get_min_size_comparison_results(flags, 0.02, {3, 1});
    EXPECT_EQ(flags, (std::vector<bool>{true, false}));

    CAD_RPC::Settings settings;
    settings.export_solids = settings.export_curves = true;
    settings.save_filepath = ::testing::TempDir() + "served-" + std::to_string(::getpid()) + ".zel";
    client.export_zel(tree, settings);
    std::ifstream in(settings.save_filepath);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("<solid method=\"triangulation\" name=\"Корпус\">"), std::string::npos) << text;
    EXPECT_NE(text.find("<line method=\"polyline\" name=\"Axis\" visible=\"false\">"), std::string::npos) << text;
    EXPECT_EQ(model.log->count("Body::get_tessellation"), 1u);
    std::filesystem::remove(settings.save_filepath);
}
