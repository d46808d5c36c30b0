#include "occt_document.h"

#include "occt_component.h"
#include "occt_feature.h"

namespace velmora::occt {
namespace {

class OcctSelectionOptions : public OcctObject, public cad::SelectionOptions {
public:
    void set_mark(int) override {}
};

class OcctSelectionManager : public OcctObject, public cad::SelectionManager {
public:
    cad::SelectionOptionsPtr create_selection_options() override { return std::make_shared<OcctSelectionOptions>(); }
};

class OcctDisplay : public OcctObject, public cad::Display {
public:
    explicit OcctDisplay(StatePtr state) : state_(std::move(state)) {}
    void redraw(const unsigned char*) override
    {
        state_->note("redraw");
        state_->display.redraw();
    }

private:
    StatePtr state_;
};

class OcctMassProperty : public OcctObject, public cad::MassProperty {
public:
    explicit OcctMassProperty(double density) : density_(density) {}
    void set_option(bool) override {}
    double get_setting() override { return density_; }

private:
    double density_;
};

class OcctExtension : public OcctObject, public cad::Extension {
public:
    explicit OcctExtension(double density) : density_(density) {}
    cad::ByteArray get_persistent_id_bytes(const cad::HostObjectPtr& o) override
    {
        auto* obj = dynamic_cast<OcctObject*>(o.get());
        return obj ? obj->persistent_id : cad::ByteArray{};
    }
    int get_persistent_id_length(const cad::HostObjectPtr& o) override
    {
        return static_cast<int>(get_persistent_id_bytes(o).size());
    }
    cad::MassPropertyPtr create_mass_property() override { return std::make_shared<OcctMassProperty>(density_); }

private:
    double density_;
};

class OcctConfiguration : public OcctObject, public cad::Configuration {
public:
    cad::ComponentPtr root;
    cad::ComponentPtr get_root_component(int) override { return root; }
    std::u16string get_identifier() override { return u"Default"; }
};

class OcctPartDocument : public OcctObject, public cad::PartDocument {
public:
    std::vector<std::shared_ptr<OcctBody>> bodies;
    std::shared_ptr<OcctFeatureObject> features;
    cad::BodyEnumeratorPtr enumerate_bodies(int, int) override { return std::make_shared<OcctBodyEnumerator>(bodies); }
    cad::FeaturePtr get_first_feature() override { return features; }
};

class OcctDocument : public OcctObject, public cad::Document {
public:
    StatePtr state;
    std::shared_ptr<OcctPartDocument> part;
    std::shared_ptr<OcctConfiguration> configuration = std::make_shared<OcctConfiguration>();
    std::shared_ptr<OcctExtension> extension;
    std::shared_ptr<OcctFeatureObject> features;  // of the root: the part's, or the assembly's own

    int get_document_type() override { return state->model.is_assembly ? kAssembly : kPart; }
    cad::PartDocumentPtr as_part_document() override { return part; }
    cad::ConfigurationPtr get_active_configuration() override { return configuration; }
    cad::FeaturePtr get_first_feature() override { return features; }
    cad::ExtensionPtr get_extension() override { return extension; }
    cad::SelectionManagerPtr get_selection_manager() override { return std::make_shared<OcctSelectionManager>(); }
    cad::DisplayPtr get_display() override { return std::make_shared<OcctDisplay>(state); }
    void lock() override { state->note("document locked"); }
    void unlock() override { state->note("document unlocked"); }
};

}  // namespace

cad::DocumentPtr make_document(const StatePtr& state)
{
    auto doc = std::make_shared<OcctDocument>();
    doc->state = state;
    doc->persistent_id = bytes_of("document");
    doc->extension = std::make_shared<OcctExtension>(state->options.density);
    const OcctOccurrence& root = state->model.root;
    if (state->model.is_assembly) {
        auto component = component_of(state, root);
        doc->features = component->features;
        doc->configuration->root = component;
    } else {
        doc->part = std::make_shared<OcctPartDocument>();
        doc->part->persistent_id = bytes_of(root.path);
        doc->part->bodies = bodies_of(state, root.part, root.path);
        doc->part->features =
            feature_chain(state, state->model.parts[static_cast<std::size_t>(root.part)].features, root.path);
        doc->features = doc->part->features;
    }
    return doc;
}

}  // namespace velmora::occt
