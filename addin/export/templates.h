#pragma once
// "Search for templates": the solids whose mesh repeats, written once and
// placed by reference.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CAD_RPC_Service.h"
#include "addin/cad/cad_object_registry.h"
#include "geometry.h"
#include "zel_document.h"

namespace velmora::exporter {

// A mesh, colour and MIP that several solids share.
struct Template {
    cad::BodyPtr body;  // the first solid's
    const BodyGeometry* geometry;
    std::optional<zel::Colour> colour;
    std::optional<zel::MIPData> MIP;  // in the solid's own coordinates, when MIPs are exported
    bool mirrored;  // its solids are placed mirrored: its triangles are written the other way round
    std::string first_name;
    std::size_t uses = 0;
    zel::Id id = 0;
    std::string name;
};

struct Templates {
    // Those used twice or more, in the order the tree first uses them.
    std::vector<Template> used;
    // Solid key -> its template in `used`, sorted: a few bytes per solid.
    std::vector<std::pair<int32_t, std::uint32_t>> solids;
    // The template of the solid `key`; null for a solid written plainly.
    const Template* of(int32_t key) const;
};

// Groups the tree's solids by mesh (the same vertices bit for bit and the
// same triangles), colour, MIP when `with_mips` (bit for bit: parts of one
// shape and another density differ) and whether their placement mirrors
// (a mirrored occurrence needs its triangles the other way round). Bodies
// are grouped by the mesh their tessellation gave first (occurrences of a
// part share it), and only distinct meshes by content: one hash each,
// equality checked within a hash. A group of two or more becomes a template
// named "T<n>_<its first solid's name>", with ids from `first_id` on.
Templates find_templates(const CAD_RPC::Tree& tree, const cad::CAD_ObjectRegistry& registry, BodyGeometryCache& cache,
                         const cad::DocumentPtr& document, bool with_mips, zel::Id first_id);

}  // namespace velmora::exporter
