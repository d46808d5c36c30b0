#include "geometry.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

#include "addin/cad/host/host.h"

namespace velmora::exporter {

const BodyGeometry* BodyGeometryCache::find(const cad::Body* body) const
{
    auto it = entries_.find(body);
    return it == entries_.end() ? nullptr : &it->second.geometry;
}

const BodyGeometry& BodyGeometryCache::insert(const cad::BodyPtr& body, BodyGeometry geometry)
{
    auto& entry = entries_[body.get()];
    entry.body = body;
    entry.geometry = std::move(geometry);
    return entry.geometry;
}

BodyGeometry tessellateBody(const cad::BodyPtr& body)
{
    BodyGeometry result;
    const cad::TessellationPtr tessellation = body->get_tessellation(0);
    if (!tessellation) return result;
    tessellation->set_need_face_facet_map(true);
    tessellation->set_need_vertex_params(true);
    tessellation->set_need_vertex_normal(true);
    tessellation->set_improve_quality(false);
    tessellation->tessellate();

    // Exact, lexicographic comparison: positions that differ in any bit are
    // different vertices (and -0.0 equals +0.0, as operator< has it).
    std::map<zel::Point3, std::uint64_t> index;
    std::uint64_t next = 1;
    for (cad::FacePtr face = body->get_first_face(); face; face = face->get_next_face()) {
        tessellation->get_facet_count(face);
        for (const int facet : tessellation->get_facets(face)) {
            tessellation->get_fin_count(facet);
            const std::vector<int> fins = tessellation->get_fins(facet);
            if (fins.size() < 3) continue;  // nothing to make a triangle of
            zel::Triangle triangle{};
            bool complete = true;
            for (int k = 0; k < 3 && complete; ++k) {
                const std::vector<int> pair = tessellation->get_fin_vertices(fins[static_cast<std::size_t>(k)]);
                if (pair.size() < 2) {
                    complete = false;
                    break;
                }
                const std::vector<double> xyz = tessellation->get_vertex_point(pair[1]);
                if (xyz.size() < 3) {
                    complete = false;
                    break;
                }
                const zel::Point3 position{xyz[0], xyz[1], xyz[2]};
                auto [it, inserted] = index.try_emplace(position, next);
                if (inserted) {
                    result.vertices.push_back(position);
                    ++next;
                }
                triangle[static_cast<std::size_t>(k)] = it->second;
            }
            if (complete) result.faces.push_back(triangle);
        }
    }
    return result;
}

const BodyGeometry& geometryOf(BodyGeometryCache& cache, const cad::BodyPtr& body)
{
    if (const BodyGeometry* cached = cache.find(body.get())) return *cached;
    return cache.insert(body, tessellateBody(body));
}

std::optional<zel::Colour> colourFromAppearance(const std::vector<double>& values)
{
    if (values.size() < 3) return std::nullopt;
    auto channel = [](double v) -> int {
        const double scaled = v * 255.0;
        if (!(scaled > 0)) return 0;  // also NaN
        if (scaled >= 255.0) return 255;
        return static_cast<int>(scaled);  // truncation toward zero
    };
    const int r = channel(values[0]), g = channel(values[1]), b = channel(values[2]);
    if (r == 0 || g == 0 || b == 0) return std::nullopt;
    return zel::Colour{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)};
}

std::optional<zel::Colour> solidColour(const cad::BodyPtr& body)
{
    const cad::FacePtr face = body->get_first_face();
    if (!face) return std::nullopt;
    return colourFromAppearance(face->get_appearance());
}

std::optional<zel::Colour> curveColour(const cad::FeaturePtr& feature, const cad::DocumentPtr& document)
{
    const cad::ConfigurationPtr configuration = document->get_active_configuration();
    const std::u16string identifier = configuration ? configuration->get_identifier() : std::u16string{};
    return colourFromAppearance(feature->get_appearance(4, 1, identifier));
}

std::vector<zel::Point3> sampleCurve(const cad::FeaturePtr& feature)
{
    std::vector<zel::Point3> points;
    const cad::CurveDefinitionPtr definition = feature->get_curve_definition();
    if (!definition) return points;
    definition->get_segment_count();
    const std::vector<cad::CurveSegmentPtr> segments = definition->get_segments();
    // Last segment first; each but the first in the list drops its last point.
    for (std::size_t i = segments.size(); i-- > 0;) {
        const cad::CurveSegmentPtr& segment = segments[i];
        if (!segment) continue;
        const cad::CurvePtr curve = segment->get_curve();
        const std::vector<double> params = segment->get_curve_params();
        if (!curve || params.size() < 6) continue;
        const double start[3] = {params[0], params[1], params[2]};
        const double end[3] = {params[3], params[4], params[5]};
        curve->get_sample_count(start, end, 1e-6, 1e-6);
        const std::vector<double> values = curve->get_samples(start, end, 1e-6, 1e-6);
        std::size_t count = values.size() / 3;
        if (i != 0 && count > 0) --count;
        for (std::size_t k = 0; k < count; ++k) points.push_back({values[3 * k], values[3 * k + 1], values[3 * k + 2]});
    }
    return points;
}

zel::Point3 pointPosition(const cad::FeaturePtr& feature)
{
    const cad::PointDefinitionPtr definition = feature->get_point_definition();
    if (!definition) throw std::runtime_error("ERROR: reference point has no point definition!");
    const std::vector<double> xyz = definition->get_point();
    if (xyz.size() < 3) throw std::runtime_error("ERROR: reference point has no position!");
    return {xyz[0], xyz[1], xyz[2]};
}

Placement placementOf(const cad::HostObjectPtr& object)
{
    Placement placement;
    const cad::ComponentPtr component = object ? object->as_component() : nullptr;
    if (!component) return placement;
    const std::vector<double> transform = component->get_transform();
    if (transform.size() < 12) return placement;
    std::copy_n(transform.begin(), 12, placement.values.begin());
    return placement;
}

zel::Point3 applyPlacement(const Placement& P, const zel::Point3& p)
{
    const auto& r = P.values;
    return {r[0] * p[0] + r[1] * p[1] + r[2] * p[2] + r[9], r[3] * p[0] + r[4] * p[1] + r[5] * p[2] + r[10],
            r[6] * p[0] + r[7] * p[1] + r[8] * p[2] + r[11]};
}

}  // namespace velmora::exporter
