#pragma once
#include <memory>

#include <thrift/server/TServer.h>

namespace velmora::shell {

// The server of the current run (none between runs): the one thing the serving thread,
// the notice's thread and stop_rpc_service share.
void set_current_server(std::shared_ptr<apache::thrift::server::TServer> server);
std::shared_ptr<apache::thrift::server::TServer> current_server();
// Stops the current server, if any. Safe from any thread, any number of times.
void stop_current_server();

}  // namespace velmora::shell
