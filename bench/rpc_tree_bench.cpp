// get_cad_tree of a 100,000-node tree over loopback against Thrift's own
// serialisation and deserialisation of the same tree in memory. Interleaved
// repetitions, medians, one run.
//   rpc_tree_bench [NODES] [REPS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/server/TSimpleServer.h>
#include <thrift/transport/TBufferTransports.h>

#include "CAD_RPC_Service.h"
#include "addin/shell/export_run.h"
#include "addin/shell/loopback_server_socket.h"
#include "bench_tree.h"
#include "cad_rpc_connection.h"

using Clock = std::chrono::steady_clock;
using namespace apache::thrift;

namespace {

class TreeHandler : public CAD_RPC::CAD_RPC_ServiceIf {
public:
    explicit TreeHandler(CAD_RPC::Tree tree) : tree_(std::move(tree)) {}
    void stop_rpc_service() override {}
    void get_cad_tree(CAD_RPC::Tree& tree) override { tree = tree_; }
    void set_highlight_status_of_ids(const std::vector<int32_t>&, bool) override {}
    void refresh_display() override {}
    void get_persistent_ids(std::vector<std::string>&, const std::vector<int32_t>&) override {}
    void get_node_ids(std::vector<int32_t>&, const std::vector<std::string>&) override {}
    void get_min_size_comparison_results(std::vector<bool>&, double, const std::vector<int32_t>&) override {}
    void export_zel(const CAD_RPC::Tree&, const CAD_RPC::Settings&) override {}

private:
    CAD_RPC::Tree tree_;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char* argv[])
{
    const int nodes = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int reps = argc > 2 ? std::atoi(argv[2]) : 5;
    const CAD_RPC::Tree tree = bench::machine_tree(nodes);

    auto socket = std::make_shared<velmora::shell::LoopbackServerSocket>(0);
    server::TSimpleServer server(std::make_shared<CAD_RPC::CAD_RPC_ServiceProcessor>(std::make_shared<TreeHandler>(tree)),
                                 socket, velmora::shell::make_transport_factory(),
                                 velmora::shell::make_protocol_factory());
    socket->listen();
    std::thread serving([&] { server.serve(); });
    CAD_RPC::CAD_RPC_Connection connection(socket->bound_port());

    std::vector<double> rpc, memory;
    std::size_t bytes = 0;
    for (int r = 0; r < reps; ++r) {
        auto t0 = Clock::now();
        CAD_RPC::Tree received;
        connection.client().get_cad_tree(received);
        rpc.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
        if (received.nodes.size() != tree.nodes.size()) return 1;

        t0 = Clock::now();
        auto buffer = std::make_shared<transport::TMemoryBuffer>();
        protocol::TBinaryProtocol protocol(buffer);
        tree.write(&protocol);
        bytes = buffer->available_read();
        CAD_RPC::Tree copy;
        copy.read(&protocol);
        memory.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
        if (copy.nodes.size() != tree.nodes.size()) return 1;
    }
    connection.close();
    server.stop();
    serving.join();
    const std::string what = "7. tree over RPC (" + std::to_string(tree.nodes.size()) + " nodes)";
    std::printf("%-34s %8.3f s %-22s %8.3f s %-22s %6.2fx  (target <= 2x; %.1f MB)\n", what.c_str(), median(rpc),
                "get_cad_tree", median(memory), "Thrift in memory", median(rpc) / median(memory), bytes / 1e6);
    return 0;
}
