#pragma once
#include <string>
#include <vector>

#include "host_object.h"

namespace velmora::cad {

class Component : public virtual HostObject {
public:
    virtual std::u16string get_name() = 0;
    virtual int get_child_count() = 0;
    // Entries may be empty where the host hands out no object.
    virtual std::vector<ComponentPtr> get_children() = 0;
    virtual BodyEnumeratorPtr enumerate_bodies(int body_type, int visible_only) = 0;
    virtual FeaturePtr get_first_feature() = 0;
    virtual bool select(bool append, const SelectionOptionsPtr& options, bool by_user) = 0;
    virtual bool deselect() = 0;
    // Sixteen numbers: rotation 0-8 (row order), translation 9-11, scale 12, 13-15 unused.
    virtual std::vector<double> get_transform() = 0;
};

class BodyEnumerator : public virtual HostObject {
public:
    // The next body, or empty at the end.
    virtual BodyPtr next() = 0;
};

}  // namespace velmora::cad
