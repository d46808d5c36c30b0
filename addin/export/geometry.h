#pragma once
#include <array>
#include <list>
#include <optional>
#include <unordered_map>
#include <vector>

#include "host_interface/host_fwd.h"
#include "zel_document.h"

namespace velmora::exporter {

struct BodyGeometry {
    std::vector<zel::Point3> vertices;
    // Vertex numbers from 1, in the order of `vertices`.
    std::vector<zel::Triangle> faces;
};

// Body (by identity) -> its triangulation, tessellated at most once for as
// long as the cache lives (one export run). Bodies whose host hands out one
// tessellation object (the occurrences of a part, say) share one triangulation
// and are tessellated once. Each entry keeps its body and tessellation alive,
// so no address is taken again by another object while the cache lives.
class BodyGeometryCache {
public:
    const BodyGeometry* find(const cad::Body* body) const;
    const BodyGeometry* find(const cad::Tessellation* tessellation) const;
    // `geometry` is `body`'s, made from `tessellation` (which may be null).
    const BodyGeometry& insert(const cad::BodyPtr& body, const cad::TessellationPtr& tessellation,
                               BodyGeometry geometry);
    // `body` has the geometry already cached for its tessellation.
    const BodyGeometry& share(const cad::BodyPtr& body, const BodyGeometry& geometry);
    std::size_t size() const { return bodies_.size(); }

private:
    struct Mesh {
        cad::TessellationPtr tessellation;
        BodyGeometry geometry;
    };
    std::unordered_map<const cad::Body*, std::pair<cad::BodyPtr, const BodyGeometry*>> bodies_;
    std::unordered_map<const cad::Tessellation*, const BodyGeometry*> by_tessellation_;
    std::list<Mesh> meshes_;  // a list: the addresses handed out stay valid
};

using zel::Placement;

// Numbers positions by first use, from 1. Positions are equal as doubles
// compare them (-0.0 and +0.0 are one position; bits otherwise decide), the
// same numbering an ordered map of positions gives, in constant time.
class VertexIndex {
public:
    explicit VertexIndex(std::vector<zel::Point3>& vertices) : vertices_(vertices) {}
    // The number of `p`, appending it to the vertices when it is new.
    std::uint64_t number(const zel::Point3& p);

private:
    void grow();
    std::vector<zel::Point3>& vertices_;
    std::vector<std::uint32_t> slots_;  // vertex number, 0 = empty; a power of two in size
};

BodyGeometry tessellate_body(const cad::BodyPtr& body);
// The body's faces through `tessellation`, one the body handed out.
BodyGeometry tessellate_body(const cad::BodyPtr& body, const cad::TessellationPtr& tessellation);
const BodyGeometry& geometry_of(BodyGeometryCache& cache, const cad::BodyPtr& body);
std::optional<zel::Colour> solid_colour(const cad::BodyPtr& body);
std::optional<zel::Colour> curve_colour(const cad::FeaturePtr& feature, const cad::DocumentPtr& document);
std::vector<zel::Point3> sample_curve(const cad::FeaturePtr& feature);
zel::Point3 point_position(const cad::FeaturePtr& feature);
// The identity for anything that is not a component.
Placement placement_of(const cad::HostObjectPtr& object);
zel::Point3 apply_placement(const Placement& placement, const zel::Point3& p);

// Appearance values (red, green, blue in 0..1) to a colour; none unless all
// three channels are non-zero.
std::optional<zel::Colour> colour_from_appearance(const std::vector<double>& values);

}  // namespace velmora::exporter
