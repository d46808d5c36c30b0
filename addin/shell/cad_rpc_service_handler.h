#pragma once
#include <functional>
#include <string>
#include <vector>

#include "CAD_RPC_Service.h"
#include "addin/export/body_size_cache.h"
#include "addin/cad/cad_object_registry.h"
#include "addin/export/geometry.h"
#include "host_interface/host_fwd.h"

namespace velmora::shell {

// Serves one export run: holds the application and the document of the run
// (and, with them, everything that must live exactly as long as the run).
class CAD_RPC_ServiceHandler : public CAD_RPC::CAD_RPC_ServiceIf {
public:
    // Takes the application's active document; fails with
    // "Unable to get Model!" when there is none. stop_rpc_service calls
    // `stop_run`, which ends the run this handler serves.
    CAD_RPC_ServiceHandler(cad::ApplicationPtr application, std::function<void()> stop_run);
    ~CAD_RPC_ServiceHandler() override;

    void stop_rpc_service() override;
    void get_cad_tree(CAD_RPC::Tree& tree) override;
    void set_highlight_status_of_ids(const std::vector<int32_t>& node_ids, bool highlight) override;
    void refresh_display() override;
    void get_persistent_ids(std::vector<std::string>& result, const std::vector<int32_t>& node_ids) override;
    void get_node_ids(std::vector<int32_t>& result, const std::vector<std::string>& persistent_ids) override;
    void get_min_size_comparison_results(std::vector<bool>& result, double min_size,
                                         const std::vector<int32_t>& node_ids) override;
    void export_zel(const CAD_RPC::Tree& tree, const CAD_RPC::Settings& settings) override;

    const cad::DocumentPtr& document() const { return registry_.document(); }
    const cad::CAD_ObjectRegistry& registry() const { return registry_; }
    const exporter::BodyGeometryCache& geometry_cache() const { return geometry_cache_; }

private:
    cad::ApplicationPtr application_;
    cad::CAD_ObjectRegistry registry_;
    exporter::BodyGeometryCache geometry_cache_;
    cad::BodySizeCache size_cache_;
    std::function<void()> stop_run_;
    std::string notice_caption_;  // the run's lock notice, which stop_rpc_service closes
};

}  // namespace velmora::shell
