#include "cad_rpc_service_handler.h"

#include <stdexcept>

#include "addin/cad/host/application.h"
#include "addin/cad/host/document.h"
#include "addin/platform/lock_notice.h"
#include "current_server.h"
#include "rpc_constants.h"

namespace velmora::shell {
namespace {

// Until an operation's implementation lands it answers with an error that
// names it, never with a made-up result.
[[noreturn]] void not_available(const char* operation)
{
    throw std::runtime_error(std::string(operation) + " is not available in this build of the add-in");
}

}  // namespace

CAD_RPC_ServiceHandler::CAD_RPC_ServiceHandler(cad::ApplicationPtr application)
    : application_(std::move(application))
{
    if (application_) document_ = application_->get_active_document();
    if (!document_) throw std::runtime_error("Unable to get Model!");
}

CAD_RPC_ServiceHandler::~CAD_RPC_ServiceHandler() = default;

void CAD_RPC_ServiceHandler::stop_rpc_service()
{
    stop_current_server();
    platform::close_notice_titled(kLockCaption);
}

void CAD_RPC_ServiceHandler::get_cad_tree(CAD_RPC::Tree&) { not_available("get_cad_tree"); }

void CAD_RPC_ServiceHandler::set_highlight_status_of_ids(const std::vector<int32_t>&, bool)
{
    not_available("set_highlight_status_of_ids");
}

void CAD_RPC_ServiceHandler::refresh_display() { not_available("refresh_display"); }

void CAD_RPC_ServiceHandler::get_persistent_ids(std::vector<std::string>&, const std::vector<int32_t>&)
{
    not_available("get_persistent_ids");
}

void CAD_RPC_ServiceHandler::get_node_ids(std::vector<int32_t>&, const std::vector<std::string>&)
{
    not_available("get_node_ids");
}

void CAD_RPC_ServiceHandler::get_min_size_comparison_results(std::vector<bool>&, double,
                                                              const std::vector<int32_t>&)
{
    not_available("get_min_size_comparison_results");
}

void CAD_RPC_ServiceHandler::export_zel(const CAD_RPC::Tree&, const CAD_RPC::Settings&)
{
    not_available("export_zel");
}

}  // namespace velmora::shell
