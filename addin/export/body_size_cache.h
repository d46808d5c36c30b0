#pragma once
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "geometry.h"
#include "addin/cad/cad_object_registry.h"
#include "host_interface/host_fwd.h"

namespace velmora::cad {

// Body (by identity) -> the largest edge of its triangulation's bounding
// box. Measured once per run; the triangulation comes from (and stays in)
// the export's geometry cache.
class BodySizeCache {
public:
    double body_size(const BodyPtr& body, exporter::BodyGeometryCache& geometry);

private:
    std::unordered_map<const Body*, std::pair<BodyPtr, double>> sizes_;
};

// One flag per id: the body is at least `min_size` large. An object that is
// no body answers false without a host call.
std::vector<bool> get_min_size_comparison_results(const CAD_ObjectRegistry& registry, BodySizeCache& sizes,
                                                  exporter::BodyGeometryCache& geometry, double min_size,
                                                  const std::vector<int32_t>& node_ids);

}  // namespace velmora::cad
