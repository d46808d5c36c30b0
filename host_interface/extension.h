#pragma once
#include "array_reader.h"
#include "host_object.h"

namespace velmora::cad {

class Extension : public virtual HostObject {
public:
    // `object` may be empty (an object without an automation interface).
    virtual ByteArray get_persistent_id_bytes(const HostObjectPtr& object) = 0;
    virtual int get_persistent_id_length(const HostObjectPtr& object) = 0;
    virtual MassPropertyPtr create_mass_property() = 0;
};

class MassProperty : public virtual HostObject {
public:
    virtual void set_option(bool value) = 0;
    virtual double get_setting() = 0;
};

}  // namespace velmora::cad
