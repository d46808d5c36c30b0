#pragma once
#include "host_object.h"

namespace velmora::cad {

class SelectionManager : public virtual HostObject {
public:
    virtual SelectionOptionsPtr create_selection_options() = 0;
};

class SelectionOptions : public virtual HostObject {
public:
    virtual void set_mark(int mark) = 0;
};

}  // namespace velmora::cad
