#include "memory_model.h"

namespace velmora::memory {

cad::ByteArray MemoryModel::next_persistent_id()
{
    ++counter_;
    // Four bytes, like a short host reference: a tag and the counter.
    return {7, static_cast<std::uint8_t>(counter_ >> 16), static_cast<std::uint8_t>(counter_ >> 8),
            static_cast<std::uint8_t>(counter_)};
}

std::shared_ptr<MemoryDocument> MemoryModel::open_part()
{
    auto doc = std::make_shared<MemoryDocument>(log, cad::Document::kPart);
    doc->persistent_id = next_persistent_id();
    doc->part->persistent_id = next_persistent_id();
    application->active_document = doc;
    return doc;
}

std::shared_ptr<MemoryDocument> MemoryModel::open_assembly(const std::u16string& root_name)
{
    auto doc = std::make_shared<MemoryDocument>(log, cad::Document::kAssembly);
    doc->persistent_id = next_persistent_id();
    auto root = make<MemoryComponent>();
    root->name = root_name;
    doc->configuration->root = root;
    application->active_document = doc;
    return doc;
}

std::shared_ptr<MemoryComponent> MemoryModel::add_component(MemoryComponent& parent, const std::u16string& name)
{
    auto c = make<MemoryComponent>();
    c->name = name;
    parent.children.push_back(c);
    return c;
}

std::shared_ptr<MemoryBody> MemoryModel::add_body(MemoryContent& owner, const std::u16string& name)
{
    auto b = make<MemoryBody>();
    b->name = name;
    owner.bodies.push_back(b);
    return b;
}

std::shared_ptr<MemoryFeature> MemoryModel::add_feature(MemoryContent& owner, const std::u16string& type_name,
                                                        const std::u16string& name, int visible)
{
    auto f = make<MemoryFeature>();
    f->type_name = type_name;
    f->name = name;
    f->visible = visible;
    owner.features.push_back(f);
    return f;
}

}  // namespace velmora::memory
