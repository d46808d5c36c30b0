#include "body_size_cache.h"

#include <limits>

#include "host_interface/host.h"

namespace velmora::cad {

double BodySizeCache::body_size(const BodyPtr& body, exporter::BodyGeometryCache& geometry)
{
    if (auto it = sizes_.find(body.get()); it != sizes_.end()) return it->second.second;
    const auto& g = exporter::geometry_of(geometry, body);
    constexpr double inf = std::numeric_limits<double>::infinity();
    double lo[3] = {inf, inf, inf}, hi[3] = {-inf, -inf, -inf};
    for (const auto& v : g.vertices) {
        for (int i = 0; i < 3; ++i) {
            if (v[i] < lo[i]) lo[i] = v[i];
            if (v[i] > hi[i]) hi[i] = v[i];
        }
    }
    // Empty triangulation: -inf - inf = -inf, smaller than any finite minimum.
    double size = hi[0] - lo[0];
    for (int i = 1; i < 3; ++i)
        if (hi[i] - lo[i] > size) size = hi[i] - lo[i];
    sizes_.emplace(body.get(), std::make_pair(body, size));
    return size;
}

std::vector<bool> get_min_size_comparison_results(const CAD_ObjectRegistry& registry, BodySizeCache& sizes,
                                                  exporter::BodyGeometryCache& geometry, double min_size,
                                                  const std::vector<int32_t>& node_ids)
{
    std::vector<bool> result;
    result.reserve(node_ids.size());
    for (const int32_t id : node_ids) {
        const HostObjectPtr& object = registry.object_at(id);
        const BodyPtr body = object ? object->as_body() : nullptr;
        // Ordered comparison: NaN on either side is false.
        result.push_back(body && sizes.body_size(body, geometry) >= min_size);
    }
    return result;
}

}  // namespace velmora::cad
