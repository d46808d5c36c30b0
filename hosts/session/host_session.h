#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "host_interface/addin.h"
#include "host_interface/install_layout.h"
#include "hosts/occt/occt_host.h"

namespace velmora::occt {

// A message box as a CAD system shows one for the add-in (its failures):
// the caption and text on standard error, then a box of `boxes` until it is
// closed.
void show_message_box(platform::NoticeBoxService& boxes, const std::string& caption, const std::string& text);

// A port for a run as a user writes it, whole: 0 (a free one) to 65535;
// none for anything else.
std::optional<int> serving_port_named(std::string_view text);

// The add-in module, loaded as the CAD system loads it: by path, through
// its one exported entry. Unloaded when the last reference goes.
class AddinModule {
public:
    explicit AddinModule(const std::string& path);
    ~AddinModule();
    AddinModule(const AddinModule&) = delete;
    AddinModule& operator=(const AddinModule&) = delete;

    std::shared_ptr<cad::Addin> create();

private:
    void* handle_;
    cad::CreateAddin create_ = nullptr;
    cad::DestroyAddin destroy_ = nullptr;
};

// The add-in as the CAD system holds it: connected to the application from
// construction to destruction, its commands performed by the names it
// registered. A command runs on a thread of its own (the run's serving
// thread, the one thread that calls the host while it runs).
class HostSession {
public:
    // Throws std::runtime_error when the module cannot be loaded or does not connect.
    HostSession(const std::string& addin_path, cad::ApplicationPtr application, cad::RunSettings settings = {});
    ~HostSession();  // waits for a run, then disconnects

    const cad::ApplicationPtr& application() const { return application_; }
    // How the add-in's next run serves; not while one runs.
    void configure_runs(cad::RunSettings settings) { addin_->configure_runs(std::move(settings)); }
    // The command of that name in the add-in's groups; none when it added none.
    std::optional<OcctCommand> command(const std::u16string& name) const;
    // As the command's enable method answers (enabled when it names none).
    bool enabled(const OcctCommand& command);
    // Performs the command on this thread.
    void perform(const OcctCommand& command);
    // Performs it on the serving thread; `ended` is called there when it returns.
    void start(const OcctCommand& command, std::function<void()> ended);
    bool running() const { return running_; }
    // Waits for a started command to end.
    void join();

private:
    cad::ApplicationPtr application_;
    AddinModule module_;
    std::shared_ptr<cad::Addin> addin_;
    std::thread serving_;
    std::atomic<bool> running_{false};
};

}  // namespace velmora::occt
