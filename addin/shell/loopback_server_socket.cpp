#include "loopback_server_socket.h"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include <thrift/transport/TSocket.h>

#include "cad_rpc_connection.h"

namespace velmora::shell {

LoopbackServerSocket::LoopbackServerSocket(int port, std::function<void(uid_t)> refused)
    : TServerSocket(CAD_RPC::kServiceAddress, port), refused_(std::move(refused))
{
}

std::shared_ptr<apache::thrift::transport::TTransport> LoopbackServerSocket::acceptImpl()
{
    for (;;) {
        auto client = TServerSocket::acceptImpl();
        auto* socket = dynamic_cast<apache::thrift::transport::TSocket*>(client.get());
        const std::optional<uid_t> owner = socket ? peer_owner(socket->getSocketFD()) : std::nullopt;
        if (owner && *owner == ::geteuid()) return client;
        // Another user's program (or one nobody can name): closed unanswered,
        // and the serve loop goes on accepting.
        client->close();
        if (refused_) refused_(owner.value_or(static_cast<uid_t>(-1)));
    }
}

std::optional<uid_t> peer_owner(int fd)
{
    sockaddr_storage local{}, peer{};
    socklen_t local_length = sizeof local, peer_length = sizeof peer;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &local_length) != 0 ||
        ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peer_length) != 0 || local.ss_family != peer.ss_family)
        return std::nullopt;
    // The other end's socket: its source is our peer, its destination us.
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST;
    inet_diag_req_v2& r = message.request;
    r.sdiag_family = static_cast<__u8>(peer.ss_family);
    r.sdiag_protocol = IPPROTO_TCP;
    r.idiag_states = ~0u;
    r.id.idiag_cookie[0] = r.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    if (peer.ss_family == AF_INET) {
        const auto& p = reinterpret_cast<const sockaddr_in&>(peer);
        const auto& l = reinterpret_cast<const sockaddr_in&>(local);
        r.id.idiag_sport = p.sin_port;
        r.id.idiag_dport = l.sin_port;
        std::memcpy(r.id.idiag_src, &p.sin_addr, sizeof p.sin_addr);
        std::memcpy(r.id.idiag_dst, &l.sin_addr, sizeof l.sin_addr);
    } else if (peer.ss_family == AF_INET6) {
        const auto& p = reinterpret_cast<const sockaddr_in6&>(peer);
        const auto& l = reinterpret_cast<const sockaddr_in6&>(local);
        r.id.idiag_sport = p.sin6_port;
        r.id.idiag_dport = l.sin6_port;
        std::memcpy(r.id.idiag_src, &p.sin6_addr, sizeof p.sin6_addr);
        std::memcpy(r.id.idiag_dst, &l.sin6_addr, sizeof l.sin6_addr);
    } else {
        return std::nullopt;
    }
    const int netlink = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (netlink < 0) return std::nullopt;
    std::optional<uid_t> owner;
    alignas(nlmsghdr) char answer[8192];
    if (::send(netlink, &message, sizeof message, 0) == static_cast<ssize_t>(sizeof message)) {
        // One socket asked for: one answer, or an error.
        const ssize_t length = ::recv(netlink, answer, sizeof answer, 0);
        const auto* header = reinterpret_cast<const nlmsghdr*>(answer);
        if (length > 0 && NLMSG_OK(header, static_cast<unsigned>(length)) && header->nlmsg_type == SOCK_DIAG_BY_FAMILY &&
            header->nlmsg_len >= NLMSG_LENGTH(sizeof(inet_diag_msg))) {
            const auto* found = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
            if (found->id.idiag_sport == r.id.idiag_sport && found->id.idiag_dport == r.id.idiag_dport)
                owner = found->idiag_uid;
        }
    }
    ::close(netlink);
    return owner;
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
