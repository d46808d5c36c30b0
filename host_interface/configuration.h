#pragma once
#include <string>

#include "host_object.h"

namespace velmora::cad {

class Configuration : public virtual HostObject {
public:
    virtual ComponentPtr get_root_component(int option) = 0;
    virtual std::u16string get_identifier() = 0;
};

}  // namespace velmora::cad
