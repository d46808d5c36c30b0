// The application of the OpenCASCADE host; the other roles are in the
// files beside it (document, components and bodies, tessellation,
// features, commands), all sharing the model's state (occt_state.h).
#include "occt_host.h"

#include <charconv>
#include <stdexcept>
#include <string>

#include "occt_commands.h"
#include "occt_document.h"

namespace velmora::occt {
namespace {

class OcctArrayReader : public OcctObject, public cad::ArrayReader {
public:
    std::uint8_t read_byte(const cad::ByteArray& a, int i) override { return a.at(static_cast<std::size_t>(i)); }
};

class OcctApplication : public OcctObject, public cad::Application {
public:
    // The application's own state (its options, the add-ins' commands'
    // log), and that of the active document, the own one while none is open.
    StatePtr own, state;
    cad::DocumentPtr document;
    std::shared_ptr<OcctCommandManager> commands;
    cad::DocumentPtr get_active_document() override { return document; }
    cad::ArrayReaderPtr get_array_reader() override { return std::make_shared<OcctArrayReader>(); }
    cad::CommandManagerPtr get_command_manager(int) override { return commands; }
    bool set_addin_callback_info(std::int32_t, cad::HostObjectPtr, int) override { return true; }
    std::u16string get_revision_number() override { return u"31.0.0"; }
    std::u16string get_display_name() override { return own->options.display_name; }
    std::u16string get_current_language() override { return own->options.language; }
};

}  // namespace

cad::ApplicationPtr open_occt_application(const std::string& path, const OcctHostOptions& options)
{
    return open_occt_application(read_model(path, {options.progress, options.codepage, options.warn}), options);
}

cad::ApplicationPtr open_occt_application(OcctModel model, const OcctHostOptions& options)
{
    auto app = occt_application(options);
    occt_open_document(app, std::move(model), options);
    return app;
}

cad::ApplicationPtr occt_application(const OcctHostOptions& options)
{
    auto app = std::make_shared<OcctApplication>();
    app->own = std::make_shared<ModelState>();
    app->own->options = options;
    app->state = app->own;
    app->commands = std::make_shared<OcctCommandManager>(app->own);
    return app;
}

namespace {

OcctApplication& application_of(const cad::ApplicationPtr& application)
{
    auto* app = dynamic_cast<OcctApplication*>(application.get());
    if (!app) throw std::invalid_argument("not an application of the OpenCASCADE host");
    return *app;
}

}  // namespace

void occt_open_document(const cad::ApplicationPtr& application, OcctModel model, const OcctHostOptions& options)
{
    auto state = std::make_shared<ModelState>();
    state->model = std::move(model);
    state->options = options;
    for (const auto& part : state->model.parts)
        if (!part.material.empty())
            state->note("material " + part.material + " of part " + part.name +
                        (part.density ? ": " + std::to_string(*part.density) + " kg/m^3" : ": no density"));
    auto& app = application_of(application);
    app.state = state;
    app.document = make_document(state);
    if (options.mesh_on_open) state->mesh_all();
}

void occt_close_document(const cad::ApplicationPtr& application)
{
    auto& app = application_of(application);
    app.document = nullptr;
    app.state = app.own;
}

std::vector<OcctCommandGroupView> occt_command_groups(const cad::ApplicationPtr& application)
{
    std::vector<OcctCommandGroupView> out;
    for (const auto& [id, group] : application_of(application).commands->groups) out.push_back(group->view);
    return out;
}

std::vector<OcctCommand> occt_commands(const cad::ApplicationPtr& application)
{
    std::vector<OcctCommand> out;
    for (const auto& group : occt_command_groups(application))
        out.insert(out.end(), group.commands.begin(), group.commands.end());
    return out;
}

std::shared_ptr<const OcctModel> occt_model(const cad::ApplicationPtr& application)
{
    const StatePtr& state = application_of(application).state;
    return {state, &state->model};
}

std::set<std::string> occt_highlighted(const cad::ApplicationPtr& application)
{
    return application_of(application).state->display.shown();
}

void occt_on_redraw(const cad::ApplicationPtr& application, std::function<void()> listener)
{
    application_of(application).state->display.set_listener(std::move(listener));
}

std::optional<double> density_named(std::string_view text)
{
    double density = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), density);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || !(density > 0)) return std::nullopt;
    return density;
}

}  // namespace velmora::occt
