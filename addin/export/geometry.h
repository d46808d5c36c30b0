#pragma once
#include <array>
#include <optional>
#include <unordered_map>
#include <vector>

#include "addin/cad/host/host_fwd.h"
#include "zel_document.h"

namespace velmora::exporter {

struct BodyGeometry {
    std::vector<zel::Point3> vertices;
    // Vertex numbers from 1, in the order of `vertices`.
    std::vector<zel::Triangle> faces;
};

// Body (by identity) -> its triangulation, tessellated at most once for as
// long as the cache lives (one export run). Each entry keeps its body alive.
class BodyGeometryCache {
public:
    const BodyGeometry* find(const cad::Body* body) const;
    const BodyGeometry& insert(const cad::BodyPtr& body, BodyGeometry geometry);
    std::size_t size() const { return entries_.size(); }

private:
    struct Entry {
        cad::BodyPtr body;
        BodyGeometry geometry;
    };
    std::unordered_map<const cad::Body*, Entry> entries_;
};

// Rotation r0..r8 in row order, then translation t0..t2.
struct Placement {
    std::array<double, 12> values{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
};

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

BodyGeometry tessellateBody(const cad::BodyPtr& body);
const BodyGeometry& geometryOf(BodyGeometryCache& cache, const cad::BodyPtr& body);
std::optional<zel::Colour> solidColour(const cad::BodyPtr& body);
std::optional<zel::Colour> curveColour(const cad::FeaturePtr& feature, const cad::DocumentPtr& document);
std::vector<zel::Point3> sampleCurve(const cad::FeaturePtr& feature);
zel::Point3 pointPosition(const cad::FeaturePtr& feature);
// The identity for anything that is not a component.
Placement placementOf(const cad::HostObjectPtr& object);
zel::Point3 applyPlacement(const Placement& placement, const zel::Point3& p);

// Appearance values (red, green, blue in 0..1) to a colour; none unless all
// three channels are non-zero.
std::optional<zel::Colour> colourFromAppearance(const std::vector<double>& values);

}  // namespace velmora::exporter
