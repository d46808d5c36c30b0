#include "loopback_server_socket.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TSocket.h>

#include "cad_rpc_connection.h"

namespace velmora::shell {

using apache::thrift::transport::TSocket;

LoopbackServerSocket::LoopbackServerSocket(int port, std::function<void(const std::string&)> refused,
                                           platform::OwnerLookup lookup)
    : TServerSocket(CAD_RPC::kServiceAddress, port), refused_(std::move(refused)), lookup_(std::move(lookup))
{
}

namespace {

// Reads the client's first call and answers it with `why` as an application
// exception; a client that sends nothing within a few seconds gets nothing.
void answer_with(const std::shared_ptr<apache::thrift::transport::TTransport>& client, TSocket& socket,
                 const std::string& why)
{
    using namespace apache::thrift;
    try {
        socket.setRecvTimeout(3000);
        auto transport = std::make_shared<transport::TBufferedTransport>(client);
        protocol::TBinaryProtocol protocol(transport);
        std::string name;
        protocol::TMessageType type;
        int32_t sequence = 0;
        protocol.readMessageBegin(name, type, sequence);
        protocol.skip(protocol::T_STRUCT);
        protocol.readMessageEnd();
        protocol.writeMessageBegin(name, protocol::T_EXCEPTION, sequence);
        TApplicationException(TApplicationException::UNKNOWN, why).write(&protocol);
        protocol.writeMessageEnd();
        transport->flush();
    } catch (const std::exception&) {
    }
}

}  // namespace

std::shared_ptr<apache::thrift::transport::TTransport> LoopbackServerSocket::acceptImpl()
{
    for (;;) {
        auto client = TServerSocket::acceptImpl();
        auto* socket = dynamic_cast<TSocket*>(client.get());
        const platform::ConnectionOwner owner =
            socket ? platform::connection_owner(socket->getSocketFD(), lookup_) : platform::ConnectionOwner{};
        if (owner.uid && *owner.uid == ::geteuid()) return client;
        // Another user's program, or one nobody can name: not served, and
        // the serve loop goes on accepting.
        std::string refusal;
        if (owner.uid) {
            refusal = "refused a connection from user " + std::to_string(*owner.uid);
        } else {
            refusal = "refused a connection whose user could not be told: " + owner.unknown_because;
            if (socket) answer_with(client, *socket, "Velmora " + refusal);
        }
        client->close();
        if (refused_) refused_(refusal);
    }
}

void LoopbackServerSocket::listen()
{
    std::lock_guard lock(mutex_);
    if (listening_) return;
    TServerSocket::listen();
    listening_ = true;
}

void LoopbackServerSocket::interrupt()
{
    std::lock_guard lock(mutex_);
    if (!closed_) TServerSocket::interrupt();
}

void LoopbackServerSocket::interruptChildren()
{
    std::lock_guard lock(mutex_);
    if (!closed_) TServerSocket::interruptChildren();
}

void LoopbackServerSocket::close()
{
    std::lock_guard lock(mutex_);
    if (closed_) return;
    TServerSocket::close();
    closed_ = true;
}

int LoopbackServerSocket::bound_port()
{
    std::lock_guard lock(mutex_);
    if (!listening_ || closed_) return getPort();
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(getSocketFD(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return getPort();
    if (addr.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in*>(&addr)->sin_port);
    if (addr.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port);
    return getPort();
}

}  // namespace velmora::shell
