#pragma once
#include "host_object.h"

namespace velmora::cad {

class PartDocument : public virtual HostObject {
public:
    virtual BodyEnumeratorPtr enumerate_bodies(int body_type, int visible_only) = 0;
    virtual FeaturePtr get_first_feature() = 0;
};

}  // namespace velmora::cad
