#pragma once
// Components and bodies: the places of the assembly and the solids of its parts.
#include <optional>

#include "occt_face.h"
#include "occt_state.h"

namespace velmora::occt {

class OcctFeatureObject;

// One solid of a part, as one occurrence of the part holds it.
class OcctBody : public OcctObject, public cad::Body {
public:
    StatePtr state;
    int part = 0;
    int solid_index = 0;
    std::u16string name;

    cad::BodyPtr as_body() override { return std::dynamic_pointer_cast<cad::Body>(shared_from_this()); }
    std::u16string get_name() override { return name; }
    bool select(bool, const cad::SelectionOptionsPtr&) override;
    bool deselect() override;
    cad::TessellationPtr get_tessellation(int) override;
    cad::FacePtr get_first_face() override;
    cad::MassPropertiesResult get_mass_properties(double density) override;

private:
    std::shared_ptr<OcctFace> faces_;  // made on first use
};

class OcctBodyEnumerator : public OcctObject, public cad::BodyEnumerator {
public:
    explicit OcctBodyEnumerator(std::vector<std::shared_ptr<OcctBody>> bodies) : bodies_(std::move(bodies)) {}
    cad::BodyPtr next() override { return index_ < bodies_.size() ? bodies_[index_++] : nullptr; }

private:
    std::vector<std::shared_ptr<OcctBody>> bodies_;
    std::size_t index_ = 0;
};

class OcctComponent : public OcctObject, public cad::Component {
public:
    StatePtr state;
    std::u16string name;
    std::shared_ptr<OcctFeatureObject> features;
    std::vector<cad::ComponentPtr> children;
    std::vector<std::shared_ptr<OcctBody>> bodies;
    std::vector<double> transform;

    cad::ComponentPtr as_component() override { return std::dynamic_pointer_cast<cad::Component>(shared_from_this()); }
    std::u16string get_name() override { return name; }
    int get_child_count() override { return static_cast<int>(children.size()); }
    std::vector<cad::ComponentPtr> get_children() override { return children; }
    cad::BodyEnumeratorPtr enumerate_bodies(int, int) override { return std::make_shared<OcctBodyEnumerator>(bodies); }
    cad::FeaturePtr get_first_feature() override;
    bool select(bool, const cad::SelectionOptionsPtr&, bool) override;
    bool deselect() override;
    std::vector<double> get_transform() override { return transform; }
};

// The bodies of `part` (none for -1) at the occurrence whose place in the file is `path`.
std::vector<std::shared_ptr<OcctBody>> bodies_of(const StatePtr& state, int part, const std::string& path);

// The component of an occurrence, with everything below it.
// `shown`: whether the occurrences above it are all visible.
std::shared_ptr<OcctComponent> component_of(const StatePtr& state, const OcctOccurrence& occurrence, bool shown = true);

}  // namespace velmora::occt
