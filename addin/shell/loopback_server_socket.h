#pragma once
#include <sys/types.h>

#include <functional>
#include <mutex>
#include <optional>

#include <thrift/transport/TServerSocket.h>

namespace velmora::shell {

// The add-in's listening socket: loopback only, and only for the user who
// runs the add-in (the service has no authentication, hands out the model
// and writes files where it is told, with that user's rights); listening as
// soon as listen() is first called so the GUI finds it at once, and safe to
// stop from the notice's thread while the serve loop closes it.
class LoopbackServerSocket : public apache::thrift::transport::TServerSocket {
public:
    // `refused` hears the user id of each connection closed unanswered.
    explicit LoopbackServerSocket(int port, std::function<void(uid_t)> refused = {});

    // Idempotent: the serve loop calls it again.
    void listen() override;
    void interrupt() override;
    void interruptChildren() override;
    void close() override;

    // The bound port (useful when constructed with 0).
    int bound_port();

protected:
    // Accepts only connections whose other end the add-in's own user owns;
    // others are closed before a byte is read or written.
    std::shared_ptr<apache::thrift::transport::TTransport> acceptImpl() override;

private:
    std::function<void(uid_t)> refused_;
    // Recursive: TServerSocket::listen() closes itself when binding fails.
    std::recursive_mutex mutex_;
    bool listening_ = false;
    bool closed_ = false;
};

// The user who owns the TCP socket at the other end of the connected socket
// `fd` (on Linux: asked of the kernel's socket tables through sock_diag);
// none when it cannot be told.
std::optional<uid_t> peer_owner(int fd);

}  // namespace velmora::shell
