#include "mass_properties.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

#include "host_interface/host.h"
#include "geometry.h"

namespace velmora::exporter {

std::optional<zel::MIPData> body_mip(const cad::BodyPtr& body, const cad::DocumentPtr& document)
{
    const cad::ExtensionPtr extension = document->get_extension();
    const cad::MassPropertyPtr mass_property = extension ? extension->create_mass_property() : nullptr;
    if (!mass_property) return std::nullopt;
    mass_property->set_option(true);
    const double setting = mass_property->get_setting();
    const cad::MassPropertiesResult r = body->get_mass_properties(setting);
    if (r.status != 0 || r.values.size() < 12) return std::nullopt;
    const auto& v = r.values;
    return zel::MIPData{v[0], v[1], v[2], v[5], v[6], v[7], v[8], v[9], v[10], v[11]};
}

void place_mip(const Placement& placement, zel::MIPData& mip)
{
    const zel::Point3 centre = apply_placement(placement, {mip[0], mip[1], mip[2]});
    std::copy(centre.begin(), centre.end(), mip.begin());
    const auto& r = placement;
    static constexpr std::array<double, 9> kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1};
    if (std::equal(kIdentity.begin(), kIdentity.end(), r.begin())) return;
    // The tensor as the file holds it: Ixx, Iyy, Izz, then Ixy, Ixz, Iyz.
    const double I[3][3] = {{mip[4], mip[7], mip[8]}, {mip[7], mip[5], mip[9]}, {mip[8], mip[9], mip[6]}};
    double turned[3][3] = {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                for (int l = 0; l < 3; ++l) turned[i][j] += r[3 * i + k] * I[k][l] * r[3 * j + l];
    mip[4] = turned[0][0];
    mip[5] = turned[1][1];
    mip[6] = turned[2][2];
    mip[7] = turned[0][1];
    mip[8] = turned[0][2];
    mip[9] = turned[1][2];
}

std::optional<zel::MIPData> placed_mip(const cad::CAD_ObjectRegistry& registry, int32_t id, int32_t placement_id)
{
    const cad::HostObjectPtr& object = registry.object_at(id);
    const cad::BodyPtr body = object ? object->as_body() : nullptr;
    if (!body) throw std::runtime_error("ERROR: node " + std::to_string(id) + " of an element MIP is no solid body!");
    const Placement placement = placement_of(registry.object_at(placement_id));
    auto mip = body_mip(body, registry.document());
    if (mip) place_mip(placement, *mip);
    return mip;
}

zel::MIPData combine_mip(const zel::MIPData& a, const zel::MIPData& b)
{
    const double M = a[3] + b[3];
    zel::Point3 g{a[0], a[1], a[2]};
    if (M != 0)
        for (int i = 0; i < 3; ++i) g[i] = (a[3] * a[i] + b[3] * b[i]) / M;
    zel::MIPData result{g[0], g[1], g[2], M, 0, 0, 0, 0, 0, 0};
    for (const auto* p : {&a, &b}) {
        const double m = (*p)[3];
        const double dx = g[0] - (*p)[0], dy = g[1] - (*p)[1], dz = g[2] - (*p)[2];
        result[4] += (*p)[4] + m * (dy * dy + dz * dz);
        result[5] += (*p)[5] + m * (dx * dx + dz * dz);
        result[6] += (*p)[6] + m * (dx * dx + dy * dy);
        result[7] += (*p)[7] - m * dx * dy;
        result[8] += (*p)[8] - m * dx * dz;
        result[9] += (*p)[9] - m * dy * dz;
    }
    return result;
}

}  // namespace velmora::exporter
