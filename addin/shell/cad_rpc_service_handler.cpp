#include "cad_rpc_service_handler.h"

#include <stdexcept>

#include "addin/cad/cad_tree_builder.h"
#include "addin/cad/host/application.h"
#include "addin/cad/node_identity.h"
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
    registry_.set_host(document_, application_);
}

CAD_RPC_ServiceHandler::~CAD_RPC_ServiceHandler() = default;

void CAD_RPC_ServiceHandler::stop_rpc_service()
{
    stop_current_server();
    platform::close_notice_titled(kLockCaption);
}

void CAD_RPC_ServiceHandler::get_cad_tree(CAD_RPC::Tree& tree)
{
    // Walk into a fresh tree: a failed walk must not hand out half of one.
    CAD_RPC::Tree built;
    cad::build_cad_tree(registry_, built);
    tree = std::move(built);
}

void CAD_RPC_ServiceHandler::set_highlight_status_of_ids(const std::vector<int32_t>& node_ids, bool highlight)
{
    cad::set_highlight_status_of_ids(registry_, node_ids, highlight);
}

void CAD_RPC_ServiceHandler::refresh_display() { cad::refresh_display(registry_); }

void CAD_RPC_ServiceHandler::get_persistent_ids(std::vector<std::string>& result,
                                                const std::vector<int32_t>& node_ids)
{
    result = cad::get_persistent_ids(registry_, node_ids);
}

void CAD_RPC_ServiceHandler::get_node_ids(std::vector<int32_t>& result, const std::vector<std::string>& persistent_ids)
{
    result = cad::get_node_ids(registry_, persistent_ids);
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
