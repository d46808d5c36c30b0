// Clients reach the service at the one address it binds, whatever a host
// name resolves to: another local user listening on [::1] at the same port
// receives nothing.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thrift/transport/TTransportException.h>

#include "cad_rpc_connection.h"

TEST(Connection, ClientsDialTheServicesAddressOnly)
{
    const int listener = ::socket(AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    const int only_v6 = 1;
    ::setsockopt(listener, IPPROTO_IPV6, IPV6_V6ONLY, &only_v6, sizeof only_v6);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 4) != 0)
        GTEST_SKIP() << "no IPv6 loopback here";
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const int port = ntohs(address.sin6_port);
    EXPECT_THROW(CAD_RPC::CAD_RPC_Connection connection(port), apache::thrift::transport::TTransportException);
    ::close(listener);
}
