#include "current_server.h"

#include <mutex>

namespace velmora::shell {
namespace {

std::mutex g_mutex;
std::shared_ptr<apache::thrift::server::TServer> g_server;

}  // namespace

void set_current_server(std::shared_ptr<apache::thrift::server::TServer> server)
{
    std::lock_guard lock(g_mutex);
    g_server = std::move(server);
}

std::shared_ptr<apache::thrift::server::TServer> current_server()
{
    std::lock_guard lock(g_mutex);
    return g_server;
}

void stop_current_server()
{
    // Hold a reference, not the lock, while stopping: stop() may take a while.
    auto server = current_server();
    if (server) server->stop();
}

}  // namespace velmora::shell
