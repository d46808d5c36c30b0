#pragma once
#include <memory>
#include <string>

#include "CAD_RPC_Service.h"

namespace CAD_RPC {

// The client's transport stack: socket, buffered transport (512-byte
// buffers), binary protocol (strict writes, non-strict reads).
class CAD_RPC_Connection {
public:
    // Opens the connection; a refused or failed connect throws TTransportException.
    CAD_RPC_Connection(const std::string& host, int port);
    ~CAD_RPC_Connection();

    CAD_RPC_ServiceClient& client() { return *client_; }
    const std::shared_ptr<apache::thrift::protocol::TProtocol>& protocol() const { return protocol_; }
    bool is_open() const;
    void close();

private:
    std::shared_ptr<apache::thrift::transport::TTransport> transport_;
    std::shared_ptr<apache::thrift::protocol::TProtocol> protocol_;
    std::unique_ptr<CAD_RPC_ServiceClient> client_;
};

}  // namespace CAD_RPC
