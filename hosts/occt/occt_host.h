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
#include "occt_commands.h"
#include "occt_host_options.h"
#include "occt_model.h"

namespace velmora::occt {

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
