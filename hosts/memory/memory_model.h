#pragma once
#include <memory>
#include <string>
#include <vector>

#include "memory_application.h"

namespace velmora::memory {

// Builds in-memory models for tests: every object shares one call log and
// gets a distinct persistent reference unless the test sets one.
class MemoryModel {
public:
    MemoryModel() : log(std::make_shared<CallLog>()), application(std::make_shared<MemoryApplication>(log)) {}

    std::shared_ptr<MemoryDocument> open_part();
    std::shared_ptr<MemoryDocument> open_assembly(const std::u16string& root_name);

    std::shared_ptr<MemoryComponent> add_component(MemoryComponent& parent, const std::u16string& name);
    std::shared_ptr<MemoryBody> add_body(MemoryContent& owner, const std::u16string& name);
    std::shared_ptr<MemoryFeature> add_feature(MemoryContent& owner, const std::u16string& type_name,
                                               const std::u16string& name, int visible = 1);

    template <class T>
    std::shared_ptr<T> make()
    {
        auto object = std::make_shared<T>(log);
        object->persistent_id = next_persistent_id();
        return object;
    }

    cad::ByteArray next_persistent_id();

    std::shared_ptr<CallLog> log;
    std::shared_ptr<MemoryApplication> application;

private:
    unsigned counter_ = 0;
};

}  // namespace velmora::memory
