// libFuzzer target: any bytes as one incoming message of the service, read
// with the server's protocol settings and dispatched to a handler that does
// nothing. The reading of every argument structure is what is fuzzed; the
// only acceptable outcomes are a reply or a protocol/transport exception.
#include <cstddef>
#include <cstdint>
#include <memory>

#include <thrift/TOutput.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include "CAD_RPC_Service.h"
#include "cad_rpc_connection.h"

namespace {

class IdleHandler : public CAD_RPC::CAD_RPC_ServiceIf {
public:
    void stop_rpc_service() override {}
    void get_cad_tree(CAD_RPC::Tree&) override {}
    void set_highlight_status_of_ids(const std::vector<int32_t>&, bool) override {}
    void refresh_display() override {}
    void get_persistent_ids(std::vector<std::string>& out, const std::vector<int32_t>& ids) override
    {
        out.assign(ids.size(), std::string());
    }
    void get_node_ids(std::vector<int32_t>& out, const std::vector<std::string>& ids) override
    {
        out.assign(ids.size(), -1);
    }
    void get_min_size_comparison_results(std::vector<bool>& out, double, const std::vector<int32_t>& ids) override
    {
        out.assign(ids.size(), true);
    }
    void export_zel(const CAD_RPC::Tree&, const CAD_RPC::Settings&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace apache::thrift;
    static const bool quiet = [] {
        GlobalOutput.setOutputFunction([](const char*) {});
        return true;
    }();
    (void)quiet;
    auto in = std::make_shared<transport::TMemoryBuffer>(const_cast<uint8_t*>(data), static_cast<uint32_t>(size));
    auto out = std::make_shared<transport::TMemoryBuffer>();
    auto read = std::make_shared<protocol::TBinaryProtocol>(in, CAD_RPC::kMaxStringSize, CAD_RPC::kMaxContainerSize,
                                                            true, true);
    auto write = std::make_shared<protocol::TBinaryProtocol>(out);
    CAD_RPC::CAD_RPC_ServiceProcessor processor(std::make_shared<IdleHandler>());
    try {
        while (in->available_read() > 0 && processor.process(read, write, nullptr)) {
        }
    } catch (const TException&) {
        // A bad message: the server drops the connection.
    }
    return 0;
}
