#include "occt_tessellation.h"

#include "occt_face.h"

namespace velmora::occt {

OcctTessellation::OcctTessellation(StatePtr state, int part, int solid)
    : state_(std::move(state)), part_(part), solid_(solid)
{
}

bool OcctTessellation::tessellate()
{
    mesh_ = &state_->solid_mesh(part_, solid_);
    return true;
}

const SolidMesh& OcctTessellation::mesh() const
{
    static const SolidMesh none;
    return mesh_ ? *mesh_ : none;
}

const std::vector<int>& OcctTessellation::facets_of(const cad::FacePtr& face) const
{
    static const std::vector<int> none;
    const auto* f = dynamic_cast<const OcctFace*>(face.get());
    if (!f || f->part != part_ || f->solid != solid_) return none;  // a face of another solid has no facets here
    const auto& facets = mesh().facets;
    return static_cast<std::size_t>(f->index) < facets.size() ? facets[static_cast<std::size_t>(f->index)] : none;
}

int OcctTessellation::get_facet_count(const cad::FacePtr& face) { return static_cast<int>(facets_of(face).size()); }

std::vector<int> OcctTessellation::get_facets(const cad::FacePtr& face) { return facets_of(face); }

std::vector<int> OcctTessellation::get_fin_vertices(int fin)
{
    const auto& t = mesh().triangles.at(static_cast<std::size_t>(fin / 3));
    const int k = fin % 3;
    return {t[static_cast<std::size_t>(k)], t[static_cast<std::size_t>((k + 1) % 3)]};
}

std::vector<double> OcctTessellation::get_vertex_point(int vertex)
{
    const auto& p = mesh().points.at(static_cast<std::size_t>(vertex));
    return {p[0], p[1], p[2]};
}

}  // namespace velmora::occt
