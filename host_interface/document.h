#pragma once
#include "host_object.h"

namespace velmora::cad {

class Document : public virtual HostObject {
public:
    static constexpr int kPart = 1;
    static constexpr int kAssembly = 2;

    virtual int get_document_type() = 0;
    // Empty when the document is no part.
    virtual PartDocumentPtr as_part_document() = 0;
    virtual ConfigurationPtr get_active_configuration() = 0;
    virtual FeaturePtr get_first_feature() = 0;
    virtual ExtensionPtr get_extension() = 0;
    virtual SelectionManagerPtr get_selection_manager() = 0;
    // Empty when the document has no view to draw in.
    virtual DisplayPtr get_display() = 0;
    virtual void lock() = 0;
    virtual void unlock() = 0;
};

}  // namespace velmora::cad
