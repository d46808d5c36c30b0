#pragma once
#include "host_object.h"

namespace velmora::cad {

class Display : public virtual HostObject {
public:
    virtual void redraw(const unsigned char rect[16]) = 0;
};

}  // namespace velmora::cad
