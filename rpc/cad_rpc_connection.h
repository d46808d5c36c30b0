#pragma once
#include <memory>
#include <string>

#include "CAD_RPC_Service.h"

namespace CAD_RPC {

// The most elements one list, set or map of a message may announce, on both
// sides. Thrift 0.17 checks an announced list against the message-size
// limit (100 MB) with a size times element-size product that overflows, so
// a count such as 0x7fffffff passes and the generated code then reserves
// gigabytes. Three million elements keep the largest list (of strings)
// under the message-size limit and let trees of a million nodes through.
inline constexpr int32_t kMaxContainerSize = 3'000'000;
// The longest string a message may announce (names, paths, persistent ids);
// the library would otherwise reserve up to the message-size limit for it.
inline constexpr int32_t kMaxStringSize = 16 * 1024 * 1024;

// The one address the service binds and its clients dial: the IPv4
// loopback. A name ("localhost") may resolve to ::1 first, where another
// local user could listen on the same port and receive the calls.
inline constexpr const char* kServiceAddress = "127.0.0.1";

// The client's transport stack: socket, buffered transport (512-byte
// buffers), binary protocol (strict writes, non-strict reads).
class CAD_RPC_Connection {
public:
    // Opens the connection to the service at `port` of kServiceAddress; a
    // refused or failed connect throws TTransportException.
    explicit CAD_RPC_Connection(int port);
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
