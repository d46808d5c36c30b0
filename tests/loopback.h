#pragma once
// TCP sockets on the loopback for tests.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace velmora::testing {

// A socket bound to a free port of 127.0.0.1, listening when asked; closed
// (and its port free again) when it goes.
struct LoopbackSocket {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int port = 0;
    explicit LoopbackSocket(bool listening)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 && (!listening || ::listen(fd, 4) == 0) &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = ntohs(address.sin_port);
    }
    ~LoopbackSocket() { ::close(fd); }
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;
};

// A connection to `address` (IPv4) at `port`; -1 where none is taken.
inline int connect_to(const std::string& address, int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, address.c_str(), &target.sin_addr) == 1 &&
        ::connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0)
        return fd;
    ::close(fd);
    return -1;
}

}  // namespace velmora::testing
