#include "loopback_server_socket.h"

#include <netinet/in.h>
#include <sys/socket.h>

namespace velmora::shell {

LoopbackServerSocket::LoopbackServerSocket(int port) : TServerSocket("127.0.0.1", port) {}

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
