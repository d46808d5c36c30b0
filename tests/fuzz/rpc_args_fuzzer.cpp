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
    CAD_RPC::CAD_RPC_ServiceProcessor processor(std::make_shared<CAD_RPC::CAD_RPC_ServiceNull>());
    try {
        while (in->available_read() > 0 && processor.process(read, write, nullptr)) {
        }
    } catch (const TException&) {
        // A bad message: the server drops the connection.
    }
    return 0;
}
