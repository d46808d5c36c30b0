#include "cad_rpc_connection.h"

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TSocket.h>

namespace CAD_RPC {

CAD_RPC_Connection::CAD_RPC_Connection(int port)
{
    using namespace apache::thrift;
    auto socket = std::make_shared<transport::TSocket>(kServiceAddress, port);
    transport_ = std::make_shared<transport::TBufferedTransport>(socket);
    auto binary = std::make_shared<protocol::TBinaryProtocol>(transport_);
    binary->setContainerSizeLimit(kMaxContainerSize);
    binary->setStringSizeLimit(kMaxStringSize);
    protocol_ = binary;
    client_ = std::make_unique<CAD_RPC_ServiceClient>(protocol_);
    transport_->open();
}

CAD_RPC_Connection::~CAD_RPC_Connection()
{
    try {
        close();
    } catch (...) {
    }
}

bool CAD_RPC_Connection::is_open() const { return transport_ && transport_->isOpen(); }

void CAD_RPC_Connection::close()
{
    if (transport_ && transport_->isOpen()) transport_->close();
}

}  // namespace CAD_RPC
