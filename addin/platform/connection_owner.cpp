#include "connection_owner.h"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace velmora::platform {
namespace {

struct Ends {
    sockaddr_storage local{}, peer{};
};

std::optional<uid_t> ask_sock_diag(const Ends& ends, std::string& why)
{
    // The other end's socket: its source is our peer, its destination us.
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST;
    inet_diag_req_v2& r = message.request;
    r.sdiag_family = static_cast<__u8>(ends.peer.ss_family);
    r.sdiag_protocol = IPPROTO_TCP;
    r.idiag_states = ~0u;
    r.id.idiag_cookie[0] = r.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    if (ends.peer.ss_family == AF_INET) {
        const auto& p = reinterpret_cast<const sockaddr_in&>(ends.peer);
        const auto& l = reinterpret_cast<const sockaddr_in&>(ends.local);
        r.id.idiag_sport = p.sin_port;
        r.id.idiag_dport = l.sin_port;
        std::memcpy(r.id.idiag_src, &p.sin_addr, sizeof p.sin_addr);
        std::memcpy(r.id.idiag_dst, &l.sin_addr, sizeof l.sin_addr);
    } else {
        const auto& p = reinterpret_cast<const sockaddr_in6&>(ends.peer);
        const auto& l = reinterpret_cast<const sockaddr_in6&>(ends.local);
        r.id.idiag_sport = p.sin6_port;
        r.id.idiag_dport = l.sin6_port;
        std::memcpy(r.id.idiag_src, &p.sin6_addr, sizeof p.sin6_addr);
        std::memcpy(r.id.idiag_dst, &l.sin6_addr, sizeof l.sin6_addr);
    }
    const int netlink = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (netlink < 0) {
        why = std::string("netlink sockets are not allowed here (") + std::strerror(errno) + ")";
        return std::nullopt;
    }
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
    if (!owner) why = "the kernel's socket diagnostics did not answer for it";
    ::close(netlink);
    return owner;
}

// An address and port as the kernel's tables print them: the address's
// 32-bit words in host order, "%08X" each, then ":%04X" and the port.
std::string table_text(const sockaddr_storage& a)
{
    char text[64];
    std::uint32_t words[4];
    if (a.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(a);
        std::memcpy(words, &in.sin_addr, 4);
        std::snprintf(text, sizeof text, "%08X:%04X", words[0], ntohs(in.sin_port));
    } else {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(a);
        std::memcpy(words, &in6.sin6_addr, 16);
        std::snprintf(text, sizeof text, "%08X%08X%08X%08X:%04X", words[0], words[1], words[2], words[3],
                      ntohs(in6.sin6_port));
    }
    return text;
}

std::optional<uid_t> read_tables(const Ends& ends, const std::string& proc_net, std::string& why)
{
    // The client's socket: its local address is our peer, its remote us.
    const std::string theirs = table_text(ends.peer), ours = table_text(ends.local);
    bool readable = false;
    for (const char* table : {"/tcp", "/tcp6"}) {
        std::ifstream in(proc_net + table);
        if (!in) continue;
        readable = true;
        std::string line;
        std::getline(in, line);  // the heading
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state, queues, timer, retransmits;
            long uid = -1;
            if (fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid && local == theirs &&
                remote == ours && uid >= 0)
                return static_cast<uid_t>(uid);
        }
    }
    why = readable ? proc_net + "/tcp and tcp6 have no row for it" : proc_net + "/tcp and tcp6 cannot be read";
    return std::nullopt;
}

}  // namespace

ConnectionOwner connection_owner(int fd, const OwnerLookup& how)
{
    Ends ends;
    socklen_t local_length = sizeof ends.local, peer_length = sizeof ends.peer;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&ends.local), &local_length) != 0 ||
        ::getpeername(fd, reinterpret_cast<sockaddr*>(&ends.peer), &peer_length) != 0 ||
        ends.local.ss_family != ends.peer.ss_family ||
        (ends.peer.ss_family != AF_INET && ends.peer.ss_family != AF_INET6))
        return {std::nullopt, "it is no TCP connection"};
    std::string diag_why = "the kernel's socket diagnostics were not asked";
    if (how.sock_diag)
        if (auto uid = ask_sock_diag(ends, diag_why)) return {uid, {}};
    std::string tables_why;
    if (auto uid = read_tables(ends, how.proc_net, tables_why)) return {uid, {}};
    return {std::nullopt, diag_why + ", and " + tables_why};
}

}  // namespace velmora::platform
