#include "memory_body.h"

namespace velmora::memory {

bool MemoryTessellation::tessellate()
{
    record("Tessellation::tessellate");
    if (done_) return true;
    done_ = true;
    for (auto face = first_face_; face; face = face->next) {
        auto& ids = face_facets_[face.get()];
        for (const auto& facet : face->facets) {
            ids.push_back(static_cast<int>(facet_fins_.size()));
            std::vector<int> fins;
            const int first_vertex = static_cast<int>(vertices_.size());
            const int n = static_cast<int>(facet.size());
            vertices_.insert(vertices_.end(), facet.begin(), facet.end());
            for (int k = 0; k < n; ++k) {
                fins.push_back(static_cast<int>(fin_vertices_.size()));
                fin_vertices_.push_back({first_vertex + (k + n - 1) % n, first_vertex + k});
            }
            facet_fins_.push_back(std::move(fins));
        }
    }
    return true;
}

int MemoryTessellation::get_facet_count(const cad::FacePtr& face)
{
    record("Tessellation::get_facet_count");
    auto it = face_facets_.find(face.get());
    return it == face_facets_.end() ? 0 : static_cast<int>(it->second.size());
}

std::vector<int> MemoryTessellation::get_facets(const cad::FacePtr& face)
{
    record("Tessellation::get_facets");
    auto it = face_facets_.find(face.get());
    return it == face_facets_.end() ? std::vector<int>{} : it->second;
}

int MemoryTessellation::get_fin_count(int facet)
{
    record("Tessellation::get_fin_count");
    return static_cast<int>(facet_fins_.at(static_cast<std::size_t>(facet)).size());
}

std::vector<int> MemoryTessellation::get_fins(int facet)
{
    record("Tessellation::get_fins");
    return facet_fins_.at(static_cast<std::size_t>(facet));
}

std::vector<int> MemoryTessellation::get_fin_vertices(int fin)
{
    record("Tessellation::get_fin_vertices");
    const auto& pair = fin_vertices_.at(static_cast<std::size_t>(fin));
    return {pair[0], pair[1]};
}

std::vector<double> MemoryTessellation::get_vertex_point(int vertex)
{
    record("Tessellation::get_vertex_point");
    const auto& p = vertices_.at(static_cast<std::size_t>(vertex));
    return {p[0], p[1], p[2]};
}

std::shared_ptr<MemoryFace> MemoryBody::add_face(std::vector<Facet> facets, std::vector<double> appearance)
{
    auto face = std::make_shared<MemoryFace>(log());
    face->facets = std::move(facets);
    face->appearance = std::move(appearance);
    if (!first_face) {
        first_face = face;
    } else {
        auto last = first_face;
        while (last->next) last = last->next;
        last->next = face;
    }
    return face;
}

}  // namespace velmora::memory
