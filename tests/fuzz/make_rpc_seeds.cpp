// Writes one valid message per call of the service into DIR, the seed
// corpus from which the RPC fuzzer starts.
//   make-rpc-seeds DIR
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include "CAD_RPC_Service.h"

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-rpc-seeds DIR\n");
        return 2;
    }
    CAD_RPC::Tree tree;
    tree.nodes[0].name = "Root";
    tree.nodes[0].children_ids = {1, 2};
    tree.nodes[1].type = CAD_RPC::NodeType::Solid;
    tree.nodes[1].parent_id = 0;
    tree.nodes[2].type = CAD_RPC::NodeType::ElementMIP;
    tree.nodes[2].children_ids = {1, 0};
    CAD_RPC::Settings settings;
    settings.save_filepath = "out.zel";
    const std::pair<const char*, std::function<void(CAD_RPC::CAD_RPC_ServiceClient&)>> calls[] = {
        {"stop", [](auto& c) { c.send_stop_rpc_service(); }},
        {"tree", [](auto& c) { c.send_get_cad_tree(); }},
        {"highlight", [](auto& c) { c.send_set_highlight_status_of_ids({1, 2, 3}, true); }},
        {"refresh", [](auto& c) { c.send_refresh_display(); }},
        {"persistent", [](auto& c) { c.send_get_persistent_ids({1, 2}); }},
        {"node_ids", [](auto& c) { c.send_get_node_ids({"1 2 3 ", "x"}); }},
        {"sizes", [](auto& c) { c.send_get_min_size_comparison_results(0.5, {1, 2}); }},
        {"export", [&](auto& c) { c.send_export_zel(tree, settings); }},
    };
    for (const auto& [name, send] : calls) {
        auto buffer = std::make_shared<apache::thrift::transport::TMemoryBuffer>();
        CAD_RPC::CAD_RPC_ServiceClient client(std::make_shared<apache::thrift::protocol::TBinaryProtocol>(buffer));
        send(client);
        std::ofstream(std::string(argv[1]) + "/" + name, std::ios::binary) << buffer->getBufferAsString();
    }
    return 0;
}
