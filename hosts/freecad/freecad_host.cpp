#include "freecad_host.h"

#include <unistd.h>

#include <condition_variable>
#include <iostream>
#include <set>
#include <utility>
#include <stdexcept>

#include "host_interface/notice_box_service.h"

namespace velmora::freecad {

RunSettings settings_from(const std::function<const char*(const char*)>& variable)
{
    RunSettings s;
    s.port = cad::RunSettings::kDefaultPort;
    auto value = [&](const char* name) -> std::string {
        const char* v = variable(name);
        return v ? v : "";
    };
    auto bad = [](const char* name, const std::string& v, const char* expected) {
        return std::invalid_argument(std::string(name) + "='" + v + "' is not " + expected);
    };
    if (const std::string port = value("VELMORA_PORT"); !port.empty()) {
        const auto p = occt::serving_port_named(port);
        if (!p) throw bad("VELMORA_PORT", port, "a port (0 to 65535)");
        s.port = *p;
    }
    if (const std::string gui = value("VELMORA_GUI"); gui == "none")
        s.start_gui = false;
    else
        s.gui_program = gui;
    if (const std::string quality = value("VELMORA_QUALITY"); !quality.empty()) {
        const auto q = occt::quality_named(quality);
        if (!q) throw bad("VELMORA_QUALITY", quality, "coarse, standard, fine or extrafine");
        s.quality = *q;
    }
    if (const std::string density = value("VELMORA_DENSITY"); !density.empty()) {
        const auto d = occt::density_named(density);
        if (!d) throw bad("VELMORA_DENSITY", density, "a density in kg/m^3 above 0");
        s.density = *d;
    }
    return s;
}

// The run's boxes as events for FreeCAD's main thread, and every other
// event with them, in the order they came.
class EventBoxes : public platform::NoticeBoxService, public std::enable_shared_from_this<EventBoxes> {
public:
    std::unique_ptr<platform::NoticeBox> open(const std::string& caption, const std::string& text) override;

    void post(RunEvent event)
    {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    std::vector<RunEvent> take()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(events_, {});
    }
    void close(int box)
    {
        {
            std::lock_guard lock(mutex_);
            const auto found = open_.find(box);
            if (found == open_.end()) return;
            open_.erase(found);
            events_.push_back({RunEvent::BoxClosed, box, {}, {}});
        }
        closed_.notify_all();
    }
    void wait(int box)
    {
        std::unique_lock lock(mutex_);
        closed_.wait(lock, [&] { return !open_.contains(box); });
    }
    void close_all()
    {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            for (const int box : open_) events_.push_back({RunEvent::BoxClosed, box, {}, {}});
            open_.clear();
        }
        closed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable closed_;
    std::set<int> open_;
    std::vector<RunEvent> events_;
    int last_ = 0;
    bool closing_ = false;
};

namespace {

class EventBox : public platform::NoticeBox {
public:
    EventBox(std::shared_ptr<EventBoxes> boxes, int box) : boxes_(std::move(boxes)), box_(box) {}
    ~EventBox() override { close(); }
    void wait() override { boxes_->wait(box_); }
    void close() override { boxes_->close(box_); }

private:
    std::shared_ptr<EventBoxes> boxes_;
    int box_;
};

}  // namespace

std::unique_ptr<platform::NoticeBox> EventBoxes::open(const std::string& caption, const std::string& text)
{
    std::lock_guard lock(mutex_);
    const int box = ++last_;
    // FreeCAD is closing: a box asked for now counts as closed at once.
    if (!closing_) {
        open_.insert(box);
        events_.push_back({RunEvent::BoxOpened, box, caption, text});
    }
    return std::make_unique<EventBox>(shared_from_this(), box);
}

namespace {

occt::OcctHostOptions freecad_options(const std::u16string& language)
{
    occt::OcctHostOptions options;
    options.display_name = u"FreeCAD";
    options.language = language;
    return options;
}

// What a run tells FreeCAD: the port on FreeCAD's standard output (not
// its report view: scripts read it) and as an event; a failure as a box.
class RunReports : public cad::RunEvents {
public:
    explicit RunReports(std::shared_ptr<EventBoxes> boxes) : boxes_(std::move(boxes)) {}
    void listening(int port) override
    {
        const std::string line = "Velmora: serving on port " + std::to_string(port) + "\n";
        [[maybe_unused]] const auto written = ::write(STDOUT_FILENO, line.data(), line.size());
        boxes_->post({RunEvent::Serving, port, {}, {}});
    }
    void refused(const std::string& refusal) override { std::cerr << "Velmora: " << refusal << std::endl; }
    void failed(const std::string& caption, const std::string& text) override
    {
        occt::show_message_box(*boxes_, caption, text);
    }

private:
    std::shared_ptr<EventBoxes> boxes_;
};

}  // namespace

FreecadHost::FreecadHost(const std::string& addin_path, const std::u16string& language)
    : boxes_(std::make_shared<EventBoxes>()), application_(occt::occt_application(freecad_options(language)))
{
    session_ = std::make_unique<occt::HostSession>(addin_path, application_);
}

FreecadHost::~FreecadHost()
{
    close_boxes();
    session_.reset();
}

occt::OcctCommandGroupView FreecadHost::command_group() const
{
    const auto groups = occt::occt_command_groups(application_);
    if (groups.empty()) throw std::runtime_error("the add-in added no command group");
    return groups.front();
}

void FreecadHost::start(const std::u16string& name, occt::OcctModel model, const RunSettings& settings)
{
    if (running()) throw std::logic_error("a run is active");
    session_->join();
    const auto command = session_->command(name);
    if (!command) throw std::runtime_error("the add-in has no such command");

    targets_ = selection_targets(model);
    occt::OcctHostOptions host;
    host.quality = settings.quality;
    host.density = settings.density;
    host.warn = [](const std::string& message) { std::cerr << "Velmora: warning: " << message << std::endl; };
    occt::occt_open_document(application_, std::move(model), host);
    occt::occt_on_redraw(application_, [boxes = boxes_] { boxes->post({RunEvent::Redrawn, 0, {}, {}}); });

    cad::RunSettings options;
    options.port = settings.port;
    options.start_gui = settings.start_gui;
    options.gui_program = settings.gui_program;
    options.notice_boxes = boxes_;
    options.events = std::make_shared<RunReports>(boxes_);
    session_->configure_runs(std::move(options));
    session_->start(*command, [boxes = boxes_] { boxes->post({RunEvent::Ended, 0, {}, {}}); });
}

std::vector<RunEvent> FreecadHost::take_events() { return boxes_->take(); }

void FreecadHost::box_closed(int box) { boxes_->close(box); }

std::vector<SelectionTarget> FreecadHost::highlighted() const
{
    std::vector<SelectionTarget> out;
    for (const auto& key : occt::occt_highlighted(application_))
        if (const auto found = targets_.find(key); found != targets_.end()) out.push_back(found->second);
    return out;
}

void FreecadHost::close_boxes() { boxes_->close_all(); }

void FreecadHost::finish()
{
    session_->join();
    occt::occt_on_redraw(application_, nullptr);
    occt::occt_close_document(application_);
    targets_.clear();
}

}  // namespace velmora::freecad
