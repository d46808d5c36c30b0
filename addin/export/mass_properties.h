#pragma once
#include <optional>

#include "addin/cad/cad_object_registry.h"
#include "host_interface/host_fwd.h"
#include "geometry.h"
#include "zel_document.h"

namespace velmora::exporter {

// The host's mass properties of one body; none when the host reports a
// failure (or hands out no mass-property object).
std::optional<zel::MIPData> body_mip(const cad::BodyPtr& body, const cad::DocumentPtr& document);
// A body's MIP in the axes of the model: its centre moved by the placement
// and its inertia tensor turned by the placement's rotation (R I Rᵀ). An
// identity rotation leaves the tensor's numbers exactly as they are.
void place_mip(const Placement& placement, zel::MIPData& mip);
// body_mip of body `id` placed by the placement of `placement_id`; none when
// the body yields none. Fails on an object that is no body.
std::optional<zel::MIPData> placed_mip(const cad::CAD_ObjectRegistry& registry, int32_t id, int32_t placement_id);
// Both bodies together, about their common centre of mass.
zel::MIPData combine_mip(const zel::MIPData& a, const zel::MIPData& b);

}  // namespace velmora::exporter
