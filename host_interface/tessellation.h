#pragma once
#include <vector>

#include "host_object.h"

namespace velmora::cad {

class Tessellation : public virtual HostObject {
public:
    virtual void set_need_face_facet_map(bool value) = 0;
    virtual void set_need_vertex_params(bool value) = 0;
    virtual void set_need_vertex_normal(bool value) = 0;
    virtual void set_improve_quality(bool value) = 0;
    virtual bool tessellate() = 0;
    virtual int get_facet_count(const FacePtr& face) = 0;
    virtual std::vector<int> get_facets(const FacePtr& face) = 0;
    virtual int get_fin_count(int facet) = 0;
    virtual std::vector<int> get_fins(int facet) = 0;
    // The pair of vertex ids of a fin.
    virtual std::vector<int> get_fin_vertices(int fin) = 0;
    // x, y, z of a vertex.
    virtual std::vector<double> get_vertex_point(int vertex) = 0;
};

}  // namespace velmora::cad
