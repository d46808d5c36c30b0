#pragma once
#include <mutex>

#include <thrift/transport/TServerSocket.h>

namespace velmora::shell {

// The add-in's listening socket: loopback only (the service has no
// authentication and writes files where it is told), listening as soon as
// listen() is first called so the GUI finds it at once, and safe to stop
// from the notice's thread while the serve loop closes it.
class LoopbackServerSocket : public apache::thrift::transport::TServerSocket {
public:
    explicit LoopbackServerSocket(int port);

    // Idempotent: the serve loop calls it again.
    void listen() override;
    void interrupt() override;
    void interruptChildren() override;
    void close() override;

    // The bound port (useful when constructed with 0).
    int bound_port();

private:
    // Recursive: TServerSocket::listen() closes itself when binding fails.
    std::recursive_mutex mutex_;
    bool listening_ = false;
    bool closed_ = false;
};

}  // namespace velmora::shell
