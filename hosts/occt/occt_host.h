#pragma once
#include <functional>
#include <iosfwd>
#include <memory>
#include <set>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host_interface/host_fwd.h"
#include "occt_mesh.h"
#include "occt_model.h"

namespace velmora::occt {

struct OcctHostOptions {
    double density = 1000.0;  // kg/m^3, the mass-property object's setting
    // Where the host reports its state changes (selection, redraw, lock); none when null.
    std::ostream* log = nullptr;
    // The meshes' accuracy.
    MeshQuality quality = MeshQuality::Standard;
    // Mesh every part when the model is opened, as a CAD system does to show
    // it, instead of on the first tessellation.
    bool mesh_on_open = false;
    // Parts meshed at a time when meshing on open (0: one per core).
    unsigned mesh_threads = 0;
    // Told how far reading and meshing have come: a stage and a fraction 0..1.
    std::function<void(const std::string& stage, double fraction)> progress;
    // The code page of the model's 8-bit names (see read_model).
    std::string codepage;
    // Told what the user should know about the model as it is read.
    std::function<void(const std::string& message)> warn;
    // The CAD system the host plays, and the language of its user
    // interface ("english", "russian"...), which the add-in speaks.
    std::u16string display_name = u"velmora-host";
    std::u16string language = u"english";
};

// A command that an add-in put into one of the host's command groups.
struct OcctCommand {
    std::u16string name;
    std::u16string callback;
    std::u16string enable_method;
    std::u16string tooltip;
    std::u16string hint;
    int image_index = 0;  // into the group's icon strips
};

// A command group as its add-in made it: texts, icon files (square main
// icons and command strips, each list in size order) and commands.
struct OcctCommandGroupView {
    std::u16string title, tooltip, hint;
    std::vector<std::u16string> main_icons, icons;
    std::vector<OcctCommand> commands;
};

// The commands added so far to the application's command groups, in order.
// A density as a user writes it, whole: kg/m^3 above 0; none for anything else.
std::optional<double> density_named(std::string_view text);

std::vector<OcctCommand> occt_commands(const cad::ApplicationPtr& application);
std::vector<OcctCommandGroupView> occt_command_groups(const cad::ApplicationPtr& application);

// The model an application of this host opened; it does not change.
std::shared_ptr<const OcctModel> occt_model(const cad::ApplicationPtr& application);
// The keys (occurrence paths, body_key, feature_key) of the objects the
// add-in highlighted, as of its last redraw.
std::set<std::string> occt_highlighted(const cad::ApplicationPtr& application);
// Called after each redraw, on the thread that asked for it.
void occt_on_redraw(const cad::ApplicationPtr& application, std::function<void()> listener);

// Opens `path` (see read_model) as the active document of a CAD host
// application backed by OpenCASCADE.
cad::ApplicationPtr open_occt_application(const std::string& path, const OcctHostOptions& options = {});
// The same for a model another CAD system's document was read into.
cad::ApplicationPtr open_occt_application(OcctModel model, const OcctHostOptions& options = {});

// An application with no document open, as a CAD system starts: add-ins
// connect to it before any model is opened.
cad::ApplicationPtr occt_application(const OcctHostOptions& options = {});
// Makes `model` the active document, in place of the one before; then
// occt_model, occt_highlighted and occt_on_redraw are the new document's.
// Not while a command runs.
void occt_open_document(const cad::ApplicationPtr& application, OcctModel model, const OcctHostOptions& options);
// Leaves the application with no active document.
void occt_close_document(const cad::ApplicationPtr& application);

}  // namespace velmora::occt
