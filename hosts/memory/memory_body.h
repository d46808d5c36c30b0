#pragma once
#include <array>
#include <map>
#include <string>
#include <vector>

#include "host_interface/body.h"
#include "host_interface/tessellation.h"
#include "memory_object.h"

namespace velmora::memory {

using Position = std::array<double, 3>;
// One facet: its corner positions in order (normally three).
using Facet = std::vector<Position>;

class MemoryFace : public MemoryObject, public cad::Face {
public:
    using MemoryObject::MemoryObject;
    cad::FacePtr get_next_face() override
    {
        record("Face::get_next_face");
        return next;
    }
    std::vector<double> get_appearance() override
    {
        record("Face::get_appearance");
        return appearance;
    }
    std::vector<Facet> facets;
    std::vector<double> appearance;
    std::shared_ptr<MemoryFace> next;
};

// Numbers facets, fins and vertices over the faces of one body. Fin k of a
// facet runs from corner k-1 to corner k, so the second vertex of each fin is
// the facet's corner k, in the facet's own order.
class MemoryTessellation : public MemoryObject, public cad::Tessellation {
public:
    MemoryTessellation(std::shared_ptr<CallLog> log, std::shared_ptr<MemoryFace> first_face)
        : MemoryObject(std::move(log)), first_face_(std::move(first_face))
    {
    }
    // Logged with their values ("Tessellation::set_improve_quality false"): the order and values matter.
    void set_need_face_facet_map(bool v) override { option("set_need_face_facet_map", v); }
    void set_need_vertex_params(bool v) override { option("set_need_vertex_params", v); }
    void set_need_vertex_normal(bool v) override { option("set_need_vertex_normal", v); }
    void set_improve_quality(bool v) override { option("set_improve_quality", v); }
    bool tessellate() override;
    int get_facet_count(const cad::FacePtr& face) override;
    std::vector<int> get_facets(const cad::FacePtr& face) override;
    int get_fin_count(int facet) override;
    std::vector<int> get_fins(int facet) override;
    std::vector<int> get_fin_vertices(int fin) override;
    std::vector<double> get_vertex_point(int vertex) override;

private:
    void option(const char* name, bool value)
    {
        record((std::string("Tessellation::") + name + (value ? " true" : " false")).c_str());
    }
    std::shared_ptr<MemoryFace> first_face_;
    bool done_ = false;
    std::map<const cad::Face*, std::vector<int>> face_facets_;
    std::vector<std::vector<int>> facet_fins_;
    std::vector<std::array<int, 2>> fin_vertices_;
    std::vector<Position> vertices_;
};

class MemoryBody : public MemoryObject, public cad::Body {
public:
    using MemoryObject::MemoryObject;
    cad::BodyPtr as_body() override { return std::dynamic_pointer_cast<cad::Body>(shared_from_this()); }
    std::u16string get_name() override
    {
        record("Body::get_name");
        return name;
    }
    bool select(bool append, const cad::SelectionOptionsPtr& options) override
    {
        record("Body::select");
        selected = true;
        last_append = append;
        last_options = options;
        return true;
    }
    bool deselect() override
    {
        record("Body::deselect");
        selected = false;
        return true;
    }
    cad::TessellationPtr get_tessellation(int) override
    {
        record("Body::get_tessellation");
        return std::make_shared<MemoryTessellation>(log(), first_face);
    }
    cad::FacePtr get_first_face() override
    {
        record("Body::get_first_face");
        return first_face;
    }
    cad::MassPropertiesResult get_mass_properties(double setting) override
    {
        record("Body::get_mass_properties");
        last_mass_setting = setting;
        return mass_properties;
    }

    // Appends a face with these facets; faces chain in the order added.
    std::shared_ptr<MemoryFace> add_face(std::vector<Facet> facets, std::vector<double> appearance = {});

    std::u16string name;
    std::shared_ptr<MemoryFace> first_face;
    cad::MassPropertiesResult mass_properties;

    bool selected = false;
    bool last_append = false;
    cad::SelectionOptionsPtr last_options;
    double last_mass_setting = 0.0;
};

}  // namespace velmora::memory
