#include "geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <unordered_map>

#include "host_interface/host.h"

namespace velmora::exporter {

const BodyGeometry* BodyGeometryCache::find(const cad::Body* body) const
{
    auto it = bodies_.find(body);
    return it == bodies_.end() ? nullptr : it->second.second;
}

const BodyGeometry* BodyGeometryCache::find(const cad::Tessellation* tessellation) const
{
    auto it = by_tessellation_.find(tessellation);
    return tessellation && it != by_tessellation_.end() ? it->second : nullptr;
}

const BodyGeometry& BodyGeometryCache::insert(const cad::BodyPtr& body, const cad::TessellationPtr& tessellation,
                                              BodyGeometry geometry)
{
    meshes_.push_back({tessellation, std::move(geometry)});
    const BodyGeometry& stored = meshes_.back().geometry;
    if (tessellation) by_tessellation_[tessellation.get()] = &stored;
    return share(body, stored);
}

const BodyGeometry& BodyGeometryCache::share(const cad::BodyPtr& body, const BodyGeometry& geometry)
{
    bodies_[body.get()] = {body, &geometry};
    return geometry;
}

namespace {

std::uint64_t bits(double v)
{
    v += 0.0;  // -0.0 becomes +0.0: one position, one hash
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

std::size_t hash(const zel::Point3& p)
{
    std::uint64_t h = bits(p[0]) * 0x9E3779B97F4A7C15ull;
    h = (h ^ (h >> 29) ^ bits(p[1])) * 0xBF58476D1CE4E5B9ull;
    h = (h ^ (h >> 32) ^ bits(p[2])) * 0x94D049BB133111EBull;
    return static_cast<std::size_t>(h ^ (h >> 31));
}

}  // namespace

std::uint64_t VertexIndex::number(const zel::Point3& p)
{
    if (2 * (vertices_.size() + 1) > slots_.size()) grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash(p) & mask;; i = (i + 1) & mask) {
        const std::uint32_t n = slots_[i];
        if (n == 0) {
            vertices_.push_back(p);
            slots_[i] = static_cast<std::uint32_t>(vertices_.size());
            return vertices_.size();
        }
        if (vertices_[n - 1] == p) return n;
    }
}

void VertexIndex::grow()
{
    if (vertices_.size() >= 0x7fffffffu) throw std::length_error("ERROR: too many vertices in one body!");
    std::vector<std::uint32_t> slots(std::max<std::size_t>(64, 2 * slots_.size()), 0);
    const std::size_t mask = slots.size() - 1;
    for (std::size_t n = 1; n <= vertices_.size(); ++n) {
        std::size_t i = hash(vertices_[n - 1]) & mask;
        while (slots[i] != 0) i = (i + 1) & mask;
        slots[i] = static_cast<std::uint32_t>(n);
    }
    slots_.swap(slots);
}

BodyGeometry tessellate_body(const cad::BodyPtr& body) { return tessellate_body(body, body->get_tessellation(0)); }

BodyGeometry tessellate_body(const cad::BodyPtr& body, const cad::TessellationPtr& tessellation)
{
    BodyGeometry result;
    if (!tessellation) return result;
    tessellation->set_need_face_facet_map(true);
    tessellation->set_need_vertex_params(true);
    tessellation->set_need_vertex_normal(true);
    tessellation->set_improve_quality(false);
    tessellation->tessellate();

    // Positions that differ in any bit are different vertices (but -0.0 is +0.0).
    VertexIndex index(result.vertices);
    // Each host vertex's number once known: a vertex is a corner of about six
    // triangles, and asking the host for its position every time cost more
    // than the rest of the walk. The numbers are the same: a position is
    // numbered at its first use either way.
    constexpr std::uint64_t kUnknown = 0, kNoPosition = ~std::uint64_t{0};
    std::vector<std::uint64_t> by_vertex;                 // ids 0 .. 2^24
    std::unordered_map<int, std::uint64_t> by_odd_vertex;  // any other id
    auto number_of = [&](int vertex) {
        std::uint64_t* slot;
        if (vertex >= 0 && vertex < (1 << 24)) {
            const auto at = static_cast<std::size_t>(vertex);
            if (at >= by_vertex.size()) by_vertex.resize(std::max(at + 1, 2 * by_vertex.size()), kUnknown);
            slot = &by_vertex[at];
        } else {
            slot = &by_odd_vertex[vertex];
        }
        if (*slot == kUnknown) {
            const std::vector<double> xyz = tessellation->get_vertex_point(vertex);
            *slot = xyz.size() < 3 ? kNoPosition : index.number({xyz[0], xyz[1], xyz[2]});
        }
        return *slot;
    };
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
                const std::uint64_t number = number_of(pair[1]);
                if (number == kNoPosition) {
                    complete = false;
                    break;
                }
                triangle[static_cast<std::size_t>(k)] = number;
            }
            if (complete) result.faces.push_back(triangle);
        }
    }
    return result;
}

const BodyGeometry& geometry_of(BodyGeometryCache& cache, const cad::BodyPtr& body)
{
    if (const BodyGeometry* cached = cache.find(body.get())) return *cached;
    const cad::TessellationPtr tessellation = body->get_tessellation(0);
    if (const BodyGeometry* shared = cache.find(tessellation.get())) return cache.share(body, *shared);
    return cache.insert(body, tessellation, tessellate_body(body, tessellation));
}

std::optional<zel::Colour> colour_from_appearance(const std::vector<double>& values)
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

std::optional<zel::Colour> solid_colour(const cad::BodyPtr& body)
{
    const cad::FacePtr face = body->get_first_face();
    if (!face) return std::nullopt;
    return colour_from_appearance(face->get_appearance());
}

std::optional<zel::Colour> curve_colour(const cad::FeaturePtr& feature, const cad::DocumentPtr& document)
{
    const cad::ConfigurationPtr configuration = document->get_active_configuration();
    const std::u16string identifier = configuration ? configuration->get_identifier() : std::u16string{};
    return colour_from_appearance(feature->get_appearance(4, 1, identifier));
}

std::vector<zel::Point3> sample_curve(const cad::FeaturePtr& feature)
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

zel::Point3 point_position(const cad::FeaturePtr& feature)
{
    const cad::PointDefinitionPtr definition = feature->get_point_definition();
    if (!definition) throw std::runtime_error("ERROR: reference point has no point definition!");
    const std::vector<double> xyz = definition->get_point();
    if (xyz.size() < 3) throw std::runtime_error("ERROR: reference point has no position!");
    return {xyz[0], xyz[1], xyz[2]};
}

Placement placement_of(const cad::HostObjectPtr& object)
{
    Placement placement = zel::kNoPlacement;
    const cad::ComponentPtr component = object ? object->as_component() : nullptr;
    if (!component) return placement;
    const std::vector<double> transform = component->get_transform();
    if (transform.size() < 12) return placement;
    std::copy_n(transform.begin(), 12, placement.begin());
    return placement;
}

zel::Point3 apply_placement(const Placement& P, const zel::Point3& p) { return zel::place(P, p); }

}  // namespace velmora::exporter
