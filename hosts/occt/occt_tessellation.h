#pragma once
#include "occt_state.h"

namespace velmora::occt {

// The triangles of one solid of a part, for the body of any occurrence of
// it: facets are the triangles of each face; fin k of a facet runs from
// corner k to corner k+1.
class OcctTessellation : public OcctObject, public cad::Tessellation {
public:
    OcctTessellation(StatePtr state, int part, int solid);
    // The options change nothing: the host's meshes are made one way.
    void set_need_face_facet_map(bool) override {}
    void set_need_vertex_params(bool) override {}
    void set_need_vertex_normal(bool) override {}
    void set_improve_quality(bool) override {}
    bool tessellate() override;
    int get_facet_count(const cad::FacePtr& face) override;
    std::vector<int> get_facets(const cad::FacePtr& face) override;
    int get_fin_count(int) override { return 3; }
    std::vector<int> get_fins(int facet) override { return {3 * facet, 3 * facet + 1, 3 * facet + 2}; }
    std::vector<int> get_fin_vertices(int fin) override;
    std::vector<double> get_vertex_point(int vertex) override;

private:
    const SolidMesh& mesh() const;
    const std::vector<int>& facets_of(const cad::FacePtr& face) const;

    StatePtr state_;
    int part_, solid_;
    const SolidMesh* mesh_ = nullptr;
};

}  // namespace velmora::occt
