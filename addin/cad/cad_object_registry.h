#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "host_interface/host_fwd.h"

namespace velmora::cad {

// Node id -> host object (the id is the position), persistent-id text ->
// the id of its latest registration. Lives as long as one export run.
class CAD_ObjectRegistry {
public:
    // Fails with "Unable to get Model!" without a document: every user of
    // the registry may rely on its document.
    CAD_ObjectRegistry(DocumentPtr document, ApplicationPtr application);

    // Keeps a reference on `object` (which may be empty) and indexes its
    // persistent text; returns the new id.
    int32_t register_object(HostObjectPtr object);
    // Fails with "invalid vector subscript" outside the registry.
    const HostObjectPtr& object_at(int32_t id) const;
    // Decimal byte values of the host's persistent reference, each followed by a space.
    std::string persistent_id_text(int32_t id) const;
    const std::unordered_map<std::string, int32_t>& persistent_index() const { return persistent_index_; }

    std::size_t size() const { return objects_.size(); }
    const DocumentPtr& document() const { return document_; }
    const ApplicationPtr& application() const { return application_; }

private:
    std::vector<HostObjectPtr> objects_;
    std::unordered_map<std::string, int32_t> persistent_index_;
    DocumentPtr document_;
    ApplicationPtr application_;
};

}  // namespace velmora::cad
