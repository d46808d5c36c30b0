#pragma once
// Who runs the program at the other end of a loopback TCP connection: the
// service serves only its own user's programs.
#include <sys/types.h>

#include <optional>
#include <string>

namespace velmora::platform {

struct ConnectionOwner {
    std::optional<uid_t> uid;
    std::string unknown_because;  // why not, when uid is none
};

// Where to look. The kernel's socket diagnostics (netlink sock_diag) first;
// some containers and sandboxes block netlink sockets, so then the kernel's
// socket tables (`proc_net`/tcp and tcp6), where the row of the client's
// address and port gives its user.
struct OwnerLookup {
    bool sock_diag = true;
    std::string proc_net = "/proc/net";
};

// The owner of the socket at the other end of the connected socket `fd`.
ConnectionOwner connection_owner(int fd, const OwnerLookup& how = {});

}  // namespace velmora::platform
