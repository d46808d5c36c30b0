#pragma once
#include <array>
#include <string>
#include <vector>

#include "host_interface/configuration.h"
#include "host_interface/display.h"
#include "host_interface/document.h"
#include "host_interface/extension.h"
#include "host_interface/part_document.h"
#include "host_interface/selection_manager.h"
#include "memory_component.h"
#include "memory_object.h"

namespace velmora::memory {

class MemoryConfiguration : public MemoryObject, public cad::Configuration {
public:
    using MemoryObject::MemoryObject;
    cad::ComponentPtr get_root_component(int) override
    {
        record("Configuration::get_root_component");
        return root;
    }
    std::u16string get_identifier() override
    {
        record("Configuration::get_identifier");
        return identifier;
    }
    std::shared_ptr<MemoryComponent> root;
    std::u16string identifier = u"Default";
};

class MemoryMassProperty : public MemoryObject, public cad::MassProperty {
public:
    using MemoryObject::MemoryObject;
    void set_option(bool v) override
    {
        record("MassProperty::set_option");
        option = v;
    }
    double get_setting() override
    {
        record("MassProperty::get_setting");
        return setting;
    }
    bool option = false;
    double setting = 1.0;
};

class MemoryExtension : public MemoryObject, public cad::Extension {
public:
    using MemoryObject::MemoryObject;
    cad::ByteArray get_persistent_id_bytes(const cad::HostObjectPtr& object) override
    {
        record("Extension::get_persistent_id_bytes");
        auto* o = dynamic_cast<MemoryObject*>(object.get());
        return o ? o->persistent_id : cad::ByteArray{};
    }
    int get_persistent_id_length(const cad::HostObjectPtr& object) override
    {
        record("Extension::get_persistent_id_length");
        auto* o = dynamic_cast<MemoryObject*>(object.get());
        return o ? static_cast<int>(o->persistent_id.size()) : 0;
    }
    cad::MassPropertyPtr create_mass_property() override
    {
        record("Extension::create_mass_property");
        return std::make_shared<MemoryMassProperty>(log());
    }
};

class MemorySelectionOptions : public MemoryObject, public cad::SelectionOptions {
public:
    using MemoryObject::MemoryObject;
    void set_mark(int m) override
    {
        record("SelectionOptions::set_mark");
        mark = m;
    }
    int mark = 0;
};

class MemorySelectionManager : public MemoryObject, public cad::SelectionManager {
public:
    using MemoryObject::MemoryObject;
    cad::SelectionOptionsPtr create_selection_options() override
    {
        record("SelectionManager::create_selection_options");
        return std::make_shared<MemorySelectionOptions>(log());
    }
};

class MemoryDisplay : public MemoryObject, public cad::Display {
public:
    using MemoryObject::MemoryObject;
    void redraw(const unsigned char rect[16]) override
    {
        record("Display::redraw");
        std::copy(rect, rect + 16, last_rect.begin());
    }
    std::array<unsigned char, 16> last_rect{};
};

// The part interface of a part document: its own host object (with its own
// persistent reference) over the document's bodies and features.
class MemoryPartDocument : public MemoryObject, public cad::PartDocument {
public:
    MemoryPartDocument(std::shared_ptr<CallLog> log, std::shared_ptr<MemoryContent> content)
        : MemoryObject(std::move(log)), content_(std::move(content))
    {
    }
    cad::BodyEnumeratorPtr enumerate_bodies(int, int) override
    {
        record("PartDocument::enumerate_bodies");
        return content_->make_enumerator(log());
    }
    cad::FeaturePtr get_first_feature() override
    {
        record("PartDocument::get_first_feature");
        return content_->first_feature();
    }

private:
    std::shared_ptr<MemoryContent> content_;
};

// A part (bodies and features in `content`) or an assembly (root component
// under the configuration; the assembly's own features in `content`).
class MemoryDocument : public MemoryObject, public cad::Document {
public:
    MemoryDocument(std::shared_ptr<CallLog> log, int type)
        : MemoryObject(log), type(type), content(std::make_shared<MemoryContent>()),
          part(std::make_shared<MemoryPartDocument>(log, content)),
          configuration(std::make_shared<MemoryConfiguration>(log)),
          extension(std::make_shared<MemoryExtension>(log)),
          selection_manager(std::make_shared<MemorySelectionManager>(log)),
          display(std::make_shared<MemoryDisplay>(log))
    {
    }
    int get_document_type() override
    {
        record("Document::get_document_type");
        return type;
    }
    cad::PartDocumentPtr as_part_document() override
    {
        record("Document::as_part_document");
        if (type != cad::Document::kPart) return nullptr;
        return part;
    }
    cad::ConfigurationPtr get_active_configuration() override
    {
        record("Document::get_active_configuration");
        return configuration;
    }
    cad::FeaturePtr get_first_feature() override
    {
        record("Document::get_first_feature");
        return content->first_feature();
    }
    cad::ExtensionPtr get_extension() override
    {
        record("Document::get_extension");
        return extension;
    }
    cad::SelectionManagerPtr get_selection_manager() override
    {
        record("Document::get_selection_manager");
        return selection_manager;
    }
    cad::DisplayPtr get_display() override
    {
        record("Document::get_display");
        return display;
    }
    void lock() override
    {
        record("Document::lock");
        ++lock_depth;
    }
    void unlock() override
    {
        record("Document::unlock");
        --lock_depth;
    }

    int type;
    std::shared_ptr<MemoryContent> content;
    // May be reset to model a part that hands out no part interface.
    std::shared_ptr<MemoryPartDocument> part;
    std::shared_ptr<MemoryConfiguration> configuration;
    std::shared_ptr<MemoryExtension> extension;
    std::shared_ptr<MemorySelectionManager> selection_manager;
    // May be reset to model a document without a view.
    std::shared_ptr<MemoryDisplay> display;
    int lock_depth = 0;
};

}  // namespace velmora::memory
