#include "cad_object_registry.h"

#include <limits>
#include <stdexcept>

#include "host_interface/host.h"

namespace velmora::cad {

CAD_ObjectRegistry::CAD_ObjectRegistry(DocumentPtr document, ApplicationPtr application)
    : document_(std::move(document)), application_(std::move(application))
{
    if (!document_) throw std::runtime_error("Unable to get Model!");
}

int32_t CAD_ObjectRegistry::register_object(HostObjectPtr object)
{
    if (objects_.size() >= static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        throw std::length_error("ERROR: too many CAD objects for 32-bit node ids!");
    objects_.push_back(std::move(object));
    const auto id = static_cast<int32_t>(objects_.size() - 1);
    persistent_index_[persistent_id_text(id)] = id;
    return id;
}

const HostObjectPtr& CAD_ObjectRegistry::object_at(int32_t id) const
{
    if (id < 0 || static_cast<std::size_t>(id) >= objects_.size()) throw std::out_of_range("invalid vector subscript");
    return objects_[static_cast<std::size_t>(id)];
}

std::string CAD_ObjectRegistry::persistent_id_text(int32_t id) const
{
    const ExtensionPtr extension = document_->get_extension();
    if (!extension) throw std::runtime_error("ERROR: document has no extension object!");
    const HostObjectPtr& object = object_at(id);
    const HostObjectPtr dispatch = object ? object->as_dispatch() : nullptr;
    const ByteArray bytes = extension->get_persistent_id_bytes(dispatch);
    const ArrayReaderPtr reader = application_ ? application_->get_array_reader() : nullptr;
    const int length = extension->get_persistent_id_length(dispatch);
    std::string text;
    if (length <= 0) return text;
    if (!reader) throw std::runtime_error("ERROR: application has no array reader!");
    text.reserve(static_cast<std::size_t>(length) * 4);
    for (int i = 0; i < length; ++i) {
        text += std::to_string(static_cast<unsigned>(reader->read_byte(bytes, i)));
        text += ' ';
    }
    return text;
}

}  // namespace velmora::cad
