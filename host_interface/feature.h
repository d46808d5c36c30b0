#pragma once
#include <string>
#include <vector>

#include "host_object.h"

namespace velmora::cad {

class Feature : public virtual HostObject {
public:
    virtual std::u16string get_type_name() = 0;
    virtual std::u16string get_name() = 0;
    // Non-zero means visible.
    virtual int get_visible() = 0;
    virtual FeaturePtr get_next_feature() = 0;
    virtual bool select(bool append, int mark) = 0;
    virtual bool deselect() = 0;
    virtual CurveDefinitionPtr get_curve_definition() = 0;
    virtual PointDefinitionPtr get_point_definition() = 0;
    virtual std::vector<double> get_appearance(int option, int count,
                                               const std::u16string& configuration) = 0;
};

class CurveDefinition : public virtual HostObject {
public:
    virtual int get_segment_count() = 0;
    virtual std::vector<CurveSegmentPtr> get_segments() = 0;
};

class CurveSegment : public virtual HostObject {
public:
    virtual CurvePtr get_curve() = 0;
    // Eleven numbers: start point 0-2, end point 3-5, the rest the host's.
    virtual std::vector<double> get_curve_params() = 0;
};

class Curve : public virtual HostObject {
public:
    virtual int get_sample_count(const double start[3], const double end[3], double chord_tolerance,
                                 double length_tolerance) = 0;
    virtual std::vector<double> get_samples(const double start[3], const double end[3],
                                            double chord_tolerance, double length_tolerance) = 0;
};

class PointDefinition : public virtual HostObject {
public:
    // x, y, z of the reference point.
    virtual std::vector<double> get_point() = 0;
};
}  // namespace velmora::cad
