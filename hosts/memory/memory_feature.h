#pragma once
#include <array>
#include <string>
#include <vector>

#include "host_interface/feature.h"
#include "memory_object.h"

namespace velmora::memory {

class MemoryCurve : public MemoryObject, public cad::Curve {
public:
    using MemoryObject::MemoryObject;
    int get_sample_count(const double*, const double*, double, double) override
    {
        record("Curve::get_sample_count");
        return static_cast<int>(samples.size());
    }
    std::vector<double> get_samples(const double*, const double*, double, double) override
    {
        record("Curve::get_samples");
        return samples;
    }
    // Flat x, y, z values, as the host hands them out.
    std::vector<double> samples;
};

class MemoryCurveSegment : public MemoryObject, public cad::CurveSegment {
public:
    using MemoryObject::MemoryObject;
    cad::CurvePtr get_curve() override
    {
        record("CurveSegment::get_curve");
        return curve;
    }
    std::vector<double> get_curve_params() override
    {
        record("CurveSegment::get_curve_params");
        return params;
    }
    std::shared_ptr<MemoryCurve> curve;
    std::vector<double> params = std::vector<double>(11, 0.0);
};

class MemoryCurveDefinition : public MemoryObject, public cad::CurveDefinition {
public:
    using MemoryObject::MemoryObject;
    int get_segment_count() override
    {
        record("CurveDefinition::get_segment_count");
        return static_cast<int>(segments.size());
    }
    std::vector<cad::CurveSegmentPtr> get_segments() override
    {
        record("CurveDefinition::get_segments");
        return {segments.begin(), segments.end()};
    }
    std::vector<std::shared_ptr<MemoryCurveSegment>> segments;
};

class MemoryPointDefinition : public MemoryObject, public cad::PointDefinition {
public:
    using MemoryObject::MemoryObject;
    std::vector<double> get_point() override
    {
        record("PointDefinition::get_point");
        return {point.begin(), point.end()};
    }
    std::array<double, 3> point{};
};

class MemoryFeature : public MemoryObject, public cad::Feature {
public:
    using MemoryObject::MemoryObject;
    cad::FeaturePtr as_feature() override
    {
        return std::dynamic_pointer_cast<cad::Feature>(shared_from_this());
    }
    std::u16string get_type_name() override
    {
        record("Feature::get_type_name");
        return type_name;
    }
    std::u16string get_name() override
    {
        record("Feature::get_name");
        return name;
    }
    int get_visible() override
    {
        record("Feature::get_visible");
        return visible;
    }
    cad::FeaturePtr get_next_feature() override
    {
        record("Feature::get_next_feature");
        return next;
    }
    bool select(bool append, int mark) override
    {
        record("Feature::select");
        selected = true;
        last_append = append;
        last_mark = mark;
        return true;
    }
    bool deselect() override
    {
        record("Feature::deselect");
        selected = false;
        return true;
    }
    cad::CurveDefinitionPtr get_curve_definition() override
    {
        record("Feature::get_curve_definition");
        return curve_definition;
    }
    cad::PointDefinitionPtr get_point_definition() override
    {
        record("Feature::get_point_definition");
        return point_definition;
    }
    std::vector<double> get_appearance(int option, int count, const std::u16string& configuration) override
    {
        record("Feature::get_appearance");
        last_appearance_args = {option, count};
        last_appearance_configuration = configuration;
        return appearance;
    }

    std::u16string type_name;
    std::u16string name;
    int visible = 1;
    cad::FeaturePtr next;
    std::shared_ptr<MemoryCurveDefinition> curve_definition;
    std::shared_ptr<MemoryPointDefinition> point_definition;
    std::vector<double> appearance;

    bool selected = false;
    bool last_append = false;
    int last_mark = 0;
    std::array<int, 2> last_appearance_args{};
    std::u16string last_appearance_configuration;
};

}  // namespace velmora::memory
