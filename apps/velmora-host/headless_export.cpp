#include "headless_export.h"

#include <condition_variable>
#include <iostream>
#include <mutex>
#include <optional>
#include <thread>

#include "host_interface/notice_box_service.h"
#include "cad_rpc_connection.h"
#include "export_client/export_client.h"
#include "hosts/session/host_session.h"
#include "model_opening.h"

namespace velmora::host {
namespace {

// Boxes that show nothing: the headless export's lock notice waits on one
// until the client stops the service, or until close_all().
class SilentBoxes : public platform::NoticeBoxService {
public:
    std::unique_ptr<platform::NoticeBox> open(const std::string&, const std::string&) override
    {
        return std::make_unique<Box>(state_);
    }
    void close_all() { state_->close(); }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable closed_cv;
        bool closed = false;
        void close()
        {
            {
                std::lock_guard lock(mutex);
                closed = true;
            }
            closed_cv.notify_all();
        }
    };
    struct Box : platform::NoticeBox {
        explicit Box(std::shared_ptr<State> s) : state(std::move(s)) {}
        void wait() override
        {
            std::unique_lock lock(state->mutex);
            state->closed_cv.wait(lock, [this] { return state->closed; });
        }
        void close() override { state->close(); }
        std::shared_ptr<State> state;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace

int run_export(const Arguments& a)
{
    // An unreadable configuration fails before the model is read.
    std::optional<EMC::Config> emc;
    if (!a.exported.emc_path.empty()) {
        try {
            emc = read_emc(a.exported.emc_path);
        } catch (const std::exception& e) {
            // The reader's message is the one Tarvik shows ("Unable to load EMC file! ...").
            std::cerr << "velmora-host: " << e.what() << "\n";
            return 2;
        }
    }
    const cad::ApplicationPtr application = open_model(a);
    if (!application) return 2;
    CAD_RPC::Settings settings = a.exported.settings;
    settings.save_filepath = a.export_path;
    // The first failure, from the run's thread or the client's.
    std::mutex failure_mutex;
    std::string failure;
    auto fail = [&](const std::string& what) {
        std::lock_guard lock(failure_mutex);
        if (failure.empty()) failure = what;
    };
    std::thread client;
    auto outcome = std::make_shared<RunOutcome>();
    auto reports = std::make_shared<RunReports>(
        a, outcome, [&fail](const std::string& caption, const std::string& text) { fail(caption + " " + text); });
    cad::RunSettings options = run_settings(a, reports);
    options.port = 0;
    options.start_gui = false;
    auto boxes = std::make_shared<SilentBoxes>();
    options.notice_boxes = boxes;
    reports->also_listening = [&](int port) {
        client = std::thread([&, port] {
            bool exported = false;
            try {
                CAD_RPC::CAD_RPC_Connection connection(port);
                try {
                    if (progress_shown()) std::cerr << "velmora-host: exporting ..." << std::flush;
                    tarvik::export_model(connection.client(), settings, emc);
                    exported = true;
                    if (progress_shown()) std::cerr << " done" << std::endl;
                } catch (const std::exception& e) {
                    if (progress_shown()) std::cerr << std::endl;
                    fail(std::string("Unable to export a CAD tree! ") + e.what());
                }
                connection.client().stop_rpc_service();
            } catch (const std::exception& e) {
                // No service to reach or to stop: the run ends with its
                // notice. A file already written stays, with a warning.
                if (exported)
                    std::cerr << "velmora-host: warning: " << e.what() << "\n";
                else
                    fail(std::string("Unable to export a CAD tree! ") + e.what());
                boxes->close_all();
            }
        });
    };
    {
        occt::HostSession session(a.addin_path, application, options);
        const auto command = session.command(u"Export ZEL");
        if (!command || !session.enabled(*command)) {
            std::cerr << "velmora-host: the add-in offers no enabled \"Export ZEL\" command\n";
            return 2;
        }
        session.perform(*command);
    }
    if (client.joinable()) client.join();
    if (!failure.empty()) {
        std::cerr << "velmora-host: " << failure << "\n";
        return 1;
    }
    std::cout << "velmora-host: wrote " << a.export_path << std::endl;
    return 0;
}

}  // namespace velmora::host
