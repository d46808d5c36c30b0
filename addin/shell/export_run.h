#pragma once
#include <functional>
#include <memory>
#include <string>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TTransport.h>

#include "host_interface/addin.h"
#include "addin/platform/connection_owner.h"
#include "addin/platform/lock_notice.h"
#include "addin/platform/message_box.h"
#include "rpc_constants.h"

namespace velmora::shell {

struct ExportRunOptions {
    // 0 takes a free port (tests); the GUI is told the bound one.
    int port = cad::RunSettings::kDefaultPort;
    bool start_gui = true;
    // Empty: found from the add-in module's own path (gui_path_from_module).
    std::string gui_program;
    // Default: a box of notice_boxes when the host program offers them,
    // else the terminal notice.
    std::function<std::unique_ptr<platform::LockNotice>()> make_notice;
    std::shared_ptr<platform::NoticeBoxService> notice_boxes;
    // Where "Uncaught exception!" goes; default: the warning box.
    platform::MessageBoxFn report;
    // Called on the serving thread once the server listens, with its port.
    std::function<void(int port)> on_listening;
    // Told of each connection refused because another user's program made
    // it, or because its user could not be told ("refused a connection from
    // user 1001", "refused a connection whose user could not be told: ...");
    // default: a line on standard error.
    std::function<void(const std::string& refusal)> on_refused;
    // Where the kernel is asked who made a connection.
    platform::OwnerLookup owner_lookup;
};

// One export run: serve the GUI until it calls stop_rpc_service or the user
// dismisses the lock notice. Never throws; failures go to options.report.
void perform_export_run(const cad::ApplicationPtr& application, const ExportRunOptions& options = {});

// The protocol the service reads and writes with: versioned messages only,
// bounded string and container sizes.
std::shared_ptr<apache::thrift::protocol::TBinaryProtocolFactory> make_protocol_factory();

// The transport the service wraps each connection in.
std::shared_ptr<apache::thrift::transport::TTransportFactory> make_transport_factory();

// The GUI program of the installation the add-in module lies in.
std::string gui_path_from_module(const std::string& module_path);

// A run's options as the program holding the add-in set them; what it left
// unset takes the defaults above.
ExportRunOptions run_options_from(cad::RunSettings settings);

}  // namespace velmora::shell
