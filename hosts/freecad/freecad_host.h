#pragma once
// The add-in inside FreeCAD: loaded once when FreeCAD starts, as a CAD
// system loads its add-ins, and run on a snapshot of the document. FreeCAD's
// objects belong to its main thread, so the run never calls back into them:
// what FreeCAD must show (the notice box, the highlights) waits here as
// events until the main thread's timer takes them.
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "freecad_document.h"
#include "hosts/session/host_session.h"

namespace velmora::freecad {

// How one run serves, read from the environment when the command runs.
struct RunSettings {
    int port = 0;
    bool start_gui = true;
    std::string gui_program;  // empty: Tarvik beside the add-in
    occt::MeshQuality quality = occt::MeshQuality::Standard;
    double density = occt::OcctHostOptions{}.density;
};

// VELMORA_PORT (default: the add-in's port; 0: a free one), VELMORA_GUI (a
// program, or "none"), VELMORA_QUALITY (as velmora-host's --quality) and
// VELMORA_DENSITY (kg/m^3). Throws std::invalid_argument naming a bad value.
RunSettings settings_from(const std::function<const char*(const char*)>& variable = std::getenv);

// What the main thread has to do for the run.
struct RunEvent {
    enum Kind {
        Serving,    // the run listens on port `number`
        BoxOpened,  // show a modal box `number`: caption, text
        BoxClosed,  // close it, if it is still shown
        Redrawn,    // show highlighted() as FreeCAD's selection
        Ended,      // the run is over: FreeCAD is free again
    } kind;
    int number = 0;
    std::string caption, text;
};

class EventBoxes;

class FreecadHost {
public:
    // `language`: of FreeCAD's interface, as FreeCAD names it ("English",
    // "Russian"), which the add-in speaks. Throws std::runtime_error when the
    // add-in cannot be loaded or does not connect.
    FreecadHost(const std::string& addin_path, const std::u16string& language = u"English");
    ~FreecadHost();  // ends a run as close_boxes() does and waits for it

    // The add-in's command group (its title, icons and commands).
    occt::OcctCommandGroupView command_group() const;
    bool running() const { return session_->running(); }

    // Opens the document as the application's and performs `command` on the
    // serving thread. Not while a run is active.
    void start(const std::u16string& command, occt::OcctModel model, const RunSettings& settings);
    // What happened since the last call, in order.
    std::vector<RunEvent> take_events();
    // The user closed the box.
    void box_closed(int box);
    // Where the highlighted objects are in FreeCAD's tree, as of the last redraw.
    std::vector<SelectionTarget> highlighted() const;
    // Closes every box, and every one the run opens from now on, as the
    // user would: FreeCAD is closing.
    void close_boxes();
    // Joins an ended run and closes its document (frees its meshes).
    void finish();

private:
    std::shared_ptr<EventBoxes> boxes_;
    cad::ApplicationPtr application_;
    std::unique_ptr<occt::HostSession> session_;
    std::map<std::string, SelectionTarget> targets_;
};

}  // namespace velmora::freecad
