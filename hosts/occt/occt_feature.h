#pragma once
// Reference features: points and curves, with their definitions.
#include "occt_state.h"

namespace velmora::occt {

class OcctFeatureObject : public OcctObject, public cad::Feature {
public:
    StatePtr state;
    OcctFeature feature;
    std::shared_ptr<OcctFeatureObject> next;

    cad::FeaturePtr as_feature() override { return std::dynamic_pointer_cast<cad::Feature>(shared_from_this()); }
    std::u16string get_type_name() override;
    std::u16string get_name() override;
    int get_visible() override { return feature.visible ? 1 : 0; }
    cad::FeaturePtr get_next_feature() override { return next; }
    bool select(bool, int) override { return state->note_selection(true, "feature", feature.name, key()); }
    bool deselect() override { return state->note_selection(false, "feature", feature.name, key()); }
    cad::CurveDefinitionPtr get_curve_definition() override;
    cad::PointDefinitionPtr get_point_definition() override;
    std::vector<double> get_appearance(int, int, const std::u16string&) override;
};

// The chain of reference features of one owner, whose place in the file is `path`.
std::shared_ptr<OcctFeatureObject> feature_chain(const StatePtr& state, const std::vector<OcctFeature>& features,
                                                 const std::string& path);

}  // namespace velmora::occt
