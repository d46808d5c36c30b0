#pragma once
#include "host_fwd.h"

namespace velmora::cad {

// Base of every object the host hands out. The kind queries are the host's
// own answer to "is this a component / feature / body?" (QueryInterface on
// SolidWorks); an empty result means "not of that kind". Identity of a host
// object is the identity of the HostObject it answers with.
class HostObject {
public:
    virtual ~HostObject() = default;

    virtual ComponentPtr as_component() { return nullptr; }
    virtual FeaturePtr as_feature() { return nullptr; }
    virtual BodyPtr as_body() { return nullptr; }
    // The generic automation interface (IDispatch); empty when the object has none.
    virtual HostObjectPtr as_dispatch() { return nullptr; }
};

}  // namespace velmora::cad
