#include "cad_rpc_service_handler.h"

#include <stdexcept>

#include "addin/cad/cad_tree_builder.h"
#include "host_interface/application.h"
#include "addin/cad/highlighting.h"
#include "addin/cad/node_identity.h"
#include "addin/export/export_driver.h"
#include "host_interface/document.h"
#include "addin/platform/lock_notice.h"
#include "host_words.h"
#include "rpc_constants.h"

namespace velmora::shell {

CAD_RPC_ServiceHandler::CAD_RPC_ServiceHandler(cad::ApplicationPtr application, std::function<void()> stop_run)
    : application_(std::move(application)),
      registry_(application_ ? application_->get_active_document() : nullptr, application_),
      stop_run_(std::move(stop_run))
{
    notice_caption_ = lock_notice_words(application_).caption;
}

CAD_RPC_ServiceHandler::~CAD_RPC_ServiceHandler() = default;

void CAD_RPC_ServiceHandler::stop_rpc_service()
{
    if (stop_run_) stop_run_();
    platform::close_notice_titled(notice_caption_);
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

void CAD_RPC_ServiceHandler::get_min_size_comparison_results(std::vector<bool>& result, double min_size,
                                                              const std::vector<int32_t>& node_ids)
{
    result = cad::get_min_size_comparison_results(registry_, size_cache_, geometry_cache_, min_size, node_ids);
}

void CAD_RPC_ServiceHandler::export_zel(const CAD_RPC::Tree& tree, const CAD_RPC::Settings& settings)
{
    exporter::export_zel(tree, settings, registry_, geometry_cache_);
}

}  // namespace velmora::shell
