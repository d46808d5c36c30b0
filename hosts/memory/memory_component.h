#pragma once
#include <string>
#include <vector>

#include "host_interface/component.h"
#include "memory_body.h"
#include "memory_feature.h"
#include "memory_object.h"

namespace velmora::memory {

class MemoryBodyEnumerator : public MemoryObject, public cad::BodyEnumerator {
public:
    MemoryBodyEnumerator(std::shared_ptr<CallLog> log, std::vector<std::shared_ptr<MemoryBody>> bodies)
        : MemoryObject(std::move(log)), bodies_(std::move(bodies))
    {
    }
    cad::BodyPtr next() override
    {
        record("BodyEnumerator::next");
        if (index_ >= bodies_.size()) return nullptr;
        return bodies_[index_++];
    }

private:
    std::vector<std::shared_ptr<MemoryBody>> bodies_;
    std::size_t index_ = 0;
};

// Bodies and top-level features of a part or a component, in host order.
struct MemoryContent {
    std::vector<std::shared_ptr<MemoryBody>> bodies;
    std::vector<std::shared_ptr<MemoryFeature>> features;
    // No enumerator is handed out when set.
    bool no_body_enumerator = false;

    cad::BodyEnumeratorPtr make_enumerator(const std::shared_ptr<CallLog>& log) const
    {
        if (no_body_enumerator) return nullptr;
        return std::make_shared<MemoryBodyEnumerator>(log, bodies);
    }
    cad::FeaturePtr first_feature() const
    {
        for (std::size_t i = 0; i + 1 < features.size(); ++i) features[i]->next = features[i + 1];
        if (!features.empty()) features.back()->next = nullptr;
        return features.empty() ? nullptr : features.front();
    }
};

class MemoryComponent : public MemoryObject, public MemoryContent, public cad::Component {
public:
    using MemoryObject::MemoryObject;
    cad::ComponentPtr as_component() override
    {
        return std::dynamic_pointer_cast<cad::Component>(shared_from_this());
    }
    std::u16string get_name() override
    {
        record("Component::get_name");
        return name;
    }
    int get_child_count() override
    {
        record("Component::get_child_count");
        return static_cast<int>(children.size());
    }
    std::vector<cad::ComponentPtr> get_children() override
    {
        record("Component::get_children");
        return children;
    }
    cad::BodyEnumeratorPtr enumerate_bodies(int, int) override
    {
        record("Component::enumerate_bodies");
        return make_enumerator(log());
    }
    cad::FeaturePtr get_first_feature() override
    {
        record("Component::get_first_feature");
        return first_feature();
    }
    bool select(bool append, const cad::SelectionOptionsPtr& options, bool by_user) override
    {
        record("Component::select");
        selected = true;
        last_append = append;
        last_options = options;
        last_by_user = by_user;
        return true;
    }
    bool deselect() override
    {
        record("Component::deselect");
        selected = false;
        return true;
    }
    std::vector<double> get_transform() override
    {
        record("Component::get_transform");
        return transform;
    }

    std::u16string name;
    // Entries may be empty, as a host may hand them out.
    std::vector<cad::ComponentPtr> children;
    std::vector<double> transform{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};

    bool selected = false;
    bool last_append = false;
    bool last_by_user = true;
    cad::SelectionOptionsPtr last_options;
};

}  // namespace velmora::memory
