#include "command_run.h"

#include <pthread.h>
#include <signal.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <thread>

#include <QApplication>
#include <QStatusBar>

#include "cad_window.h"
#include "common/signal_closer.h"
#include "hosts/session/host_session.h"
#include "model_opening.h"
#include "notice_boxes.h"

namespace velmora::host {

int run_without_window(const Arguments& a, const cad::ApplicationPtr& application)
{
    auto outcome = std::make_shared<RunOutcome>();
    occt::HostSession session(a.addin_path, application, run_settings(a, std::make_shared<RunReports>(a, outcome)));
    const auto command = session.command(u"Export ZEL");
    if (!command) {
        std::cerr << "velmora-host: the add-in added no \"Export ZEL\" command\n";
        return 2;
    }
    if (!session.enabled(*command)) {
        std::cerr << "velmora-host: \"Export ZEL\" is disabled\n";
        return 2;
    }
    if (a.verbose) std::cerr << "velmora-host: running \"Export ZEL\"" << std::endl;
    // SIGINT and SIGTERM dismiss the lock notice. Blocked here (and so in
    // every thread the run starts), one that comes before the notice is up
    // waits for it instead of killing the host with the add-in's files left.
    sigset_t dismissing, previous;
    sigemptyset(&dismissing);
    sigaddset(&dismissing, SIGINT);
    sigaddset(&dismissing, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &dismissing, &previous);
    session.perform(*command);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return outcome->failed ? 1 : 0;
}

int run_with_window(const Arguments& a)
{
    int argc = 1;
    char name[] = "velmora-host";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    // SIGTERM, SIGINT and SIGHUP close the window, which ends a run first.
    SignalCloser closer;
    auto boxes = std::make_shared<NoticeBoxes>();
    CadWindow window(boxes, QString::fromStdString(std::filesystem::path(a.model_path).filename()));
    if (a.geometry) window.setGeometry((*a.geometry)[2], (*a.geometry)[3], (*a.geometry)[0], (*a.geometry)[1]);
    window.show();

    auto outcome = std::make_shared<RunOutcome>();
    cad::ApplicationPtr application;
    std::unique_ptr<occt::HostSession> session;
    int code = 0;
    std::thread loader([&] {
        application = open_model(a, [&window](const std::string& stage, double fraction) {
            QMetaObject::invokeMethod(&window, [&window, stage = QString::fromStdString(stage), fraction] {
                window.show_progress(stage, fraction);
            });
        });
        QMetaObject::invokeMethod(&window, [&] {
            if (!application) {
                code = 2;
                window.close();
                return;
            }
            // "Uncaught exception!" on screen too, as the CAD system's box.
            auto reports = std::make_shared<RunReports>(
                a, outcome, [boxes](const std::string& caption, const std::string& text) {
                    occt::show_message_box(*boxes, caption, text);
                });
            reports->also_refused = [&window](const std::string& refusal) {
                QMetaObject::invokeMethod(&window, [&window, text = QString::fromStdString(refusal)] {
                    window.statusBar()->showMessage(text.left(1).toUpper() + text.mid(1));
                });
            };
            cad::RunSettings settings = run_settings(a, reports);
            settings.notice_boxes = boxes;
            try {
                session = std::make_unique<occt::HostSession>(a.addin_path, application, settings);
            } catch (const std::exception& e) {
                std::cerr << "velmora-host: " << e.what() << "\n";
                code = 2;
                window.close();
                return;
            }
            window.show_model(*session);
            if (!a.no_command) window.perform(QStringLiteral("Export ZEL"));
        });
    });
    const int loop = QApplication::exec();
    // A window closed while the model is read: the reading ends first.
    loader.join();
    window.end_run();  // one that a late command may have started
    window.detach();
    session.reset();
    if (code != 0) return code;
    return outcome->failed ? 1 : loop;
}

}  // namespace velmora::host
