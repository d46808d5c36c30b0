#pragma once
#include <string>
#include <vector>

#include "host_object.h"

namespace velmora::cad {

struct MassPropertiesResult {
    int status = -1;  // 0 = success
    std::vector<double> values;
};

class Body : public virtual HostObject {
public:
    virtual std::u16string get_name() = 0;
    virtual bool select(bool append, const SelectionOptionsPtr& options) = 0;
    virtual bool deselect() = 0;
    virtual TessellationPtr get_tessellation(int option) = 0;
    virtual FacePtr get_first_face() = 0;
    virtual MassPropertiesResult get_mass_properties(double setting) = 0;
};

class Face : public virtual HostObject {
public:
    virtual FacePtr get_next_face() = 0;
    // Red, green, blue in 0..1 first; further values are the host's.
    virtual std::vector<double> get_appearance() = 0;
};

}  // namespace velmora::cad
