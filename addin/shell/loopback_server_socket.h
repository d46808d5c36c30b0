#pragma once
#include <sys/types.h>

#include <functional>
#include <mutex>
#include <string>

#include <thrift/transport/TServerSocket.h>

#include "addin/platform/connection_owner.h"

namespace velmora::shell {

// The add-in's listening socket: loopback only, and only for the user who
// runs the add-in (the service has no authentication, hands out the model
// and writes files where it is told, with that user's rights); listening as
// soon as listen() is first called so the GUI finds it at once, and safe to
// stop from the notice's thread while the serve loop closes it.
class LoopbackServerSocket : public apache::thrift::transport::TServerSocket {
public:
    // `refused` hears each refusal ("refused a connection from user 1001");
    // `lookup` says where to ask who connected.
    explicit LoopbackServerSocket(int port, std::function<void(const std::string& refusal)> refused = {},
                                  platform::OwnerLookup lookup = {});

    // Idempotent: the serve loop calls it again.
    void listen() override;
    void interrupt() override;
    void interruptChildren() override;
    void close() override;

    // The bound port (useful when constructed with 0).
    int bound_port();

protected:
    // Accepts only connections whose other end the add-in's own user owns.
    // Another user's are closed before a byte is read or written; one whose
    // user cannot be told gets its first call answered with the reason, so
    // that the client can show why, and is closed.
    std::shared_ptr<apache::thrift::transport::TTransport> acceptImpl() override;

private:
    std::function<void(const std::string&)> refused_;
    platform::OwnerLookup lookup_;
    // Recursive: TServerSocket::listen() closes itself when binding fails.
    std::recursive_mutex mutex_;
    bool listening_ = false;
    bool closed_ = false;
};

}  // namespace velmora::shell
