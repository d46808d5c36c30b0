// The CAD window of velmora-host on a real X server with OpenGL (Xvfb and
// Mesa's software renderer): what it draws and highlights, its command, the
// lock box, and the program ending with its window.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <limits>
#include <thread>

#include <QAction>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QtTest>

#include "addin/cad/cad_tree_builder.h"
#include "host_interface/host.h"
#include "addin/cad/highlighting.h"
#include "addin/cad/node_identity.h"
#include "apps/velmora-host/cad_window.h"
#include "hosts/session/host_session.h"
#include "apps/velmora-host/model_scene.h"
#include "apps/velmora-host/model_view.h"
#include "apps/velmora-host/notice_boxes.h"
#include "cad_rpc_connection.h"
#include "examples/sample_model.h"
#include "tests/e2e/child_process.h"
#include "tests/scratch.h"

using namespace velmora;
namespace fs = std::filesystem;

namespace {

// Tells the test the port its run serves on.
struct PortEvents : cad::RunEvents {
    std::atomic<int> port{0};
    void listening(int p) override { port = p; }
    void refused(const std::string&) override {}
    void failed(const std::string&, const std::string&) override {}
};

// A window on a model, as velmora-host makes it.
struct Opened {
    explicit Opened(const std::string& model, cad::RunSettings options = {})
        : application(open(model)), boxes(std::make_shared<host::NoticeBoxes>())
    {
        options.notice_boxes = boxes;
        session = std::make_unique<occt::HostSession>(ADDIN_MODULE, application, options);
        window = std::make_unique<host::CadWindow>(boxes, "test");
        window->show();
        window->show_model(*session);
    }
    ~Opened()
    {
        window->close();
        window.reset();
    }
    static cad::ApplicationPtr open(const std::string& model)
    {
        occt::OcctHostOptions options;
        options.mesh_on_open = true;
        return occt::open_occt_application(model, options);
    }
    cad::ApplicationPtr application;
    std::shared_ptr<host::NoticeBoxes> boxes;
    std::unique_ptr<occt::HostSession> session;
    std::unique_ptr<host::CadWindow> window;
};

bool near(QRgb pixel, const QColor& colour, int tolerance)
{
    return std::abs(qRed(pixel) - colour.red()) <= tolerance && std::abs(qGreen(pixel) - colour.green()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

struct Difference {
    int changed = 0;            // pixels that differ at all
    int to_highlight = 0;       // of those, pixels now in the highlight colour
};

// The highlight colour (magenta) as the renderer shades it: red and blue
// high and alike, no green; nothing in the model or the background is so.
bool highlighted(QRgb p) { return qRed(p) > 180 && qBlue(p) > 180 && std::abs(qRed(p) - qBlue(p)) < 30 && qGreen(p) < 60; }

Difference compare(const QImage& before, const QImage& after)
{
    Difference d;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) {
            const QRgb a = before.pixel(x, y), b = after.pixel(x, y);
            if (near(a, QColor(b), 2)) continue;
            ++d.changed;
            if (highlighted(b)) ++d.to_highlight;
        }
    return d;
}

}  // namespace

class CadWindowTest : public QObject {
    Q_OBJECT

    fs::path folder = velmora::testing::scratch("cad-window");

private slots:
    void cleanupTestCase() { fs::remove_all(folder); }

    // As the add-in highlights: on a thread of its own (the run's), through
    // the host interface, then a redraw; the window follows on its thread.
    void highlighting_changes_exactly_the_named_objects_and_back()
    {
        Opened o(SAMPLE_MODEL);
        QVERIFY(QTest::qWaitForWindowExposed(o.window.get()));
        cad::CAD_ObjectRegistry registry(o.application->get_active_document(), o.application);
        CAD_RPC::Tree tree;
        cad::build_cad_tree(registry, tree);
        auto id_of = [&](const std::string& name) {
            for (const auto& [id, node] : tree.nodes)
                if (node.name == name) return id;
            return -1;
        };
        QSignalSpy shown(o.window.get(), &host::CadWindow::highlights_shown);
        auto highlight = [&](int32_t id, bool on) {
            std::async(std::launch::async, [&] {
                cad::set_highlight_status_of_ids(registry, {id}, on);
                cad::refresh_display(registry);
            }).get();
            QVERIFY(shown.wait(10000));  // the window's own redraw, on its thread
        };
        const QImage before = o.window->model_view().grab_screen();
        for (const char* name : {"Foot" /* a body */, "Bracket mirrored" /* a component */, "Boundary" /* a curve */}) {
            const int32_t id = id_of(name);
            QVERIFY2(id >= 0, name);
            highlight(id, true);
            const Difference lit = compare(before, o.window->model_view().grab_screen());
            QVERIFY2(lit.changed > 200, name);
            // What changed is the highlight colour, but for antialiased edges.
            QVERIFY2(lit.to_highlight > 0.8 * lit.changed, qPrintable(QString("%1: %2 of %3").arg(name).arg(lit.to_highlight).arg(lit.changed)));
            highlight(id, false);
            const Difference back = compare(before, o.window->model_view().grab_screen());
            // The earlier look again, but for a few pixels of edges drawn over the faces.
            QVERIFY2(back.changed < lit.changed / 50 + 10,
                     qPrintable(QString("%1: %2 pixels differ").arg(name).arg(back.changed)));
        }
    }

    void hidden_objects_are_not_drawn()
    {
        const std::string model = (folder / "hidden.step").string();
        examples::write_hidden_parts_model(model);
        Opened o(model);
        // The shown box and the shown line; not the hidden box nor the hidden line.
        QCOMPARE(o.window->scene()->shown_objects(), std::size_t(2));
    }

    void the_command_runs_the_add_in_and_the_lock_box_ends_a_run()
    {
        auto events = std::make_shared<PortEvents>();
        std::atomic<int>& port = events->port;
        cad::RunSettings options;
        options.port = 0;
        options.gui_program = FAKE_GUI;
        options.events = events;
        qputenv("FAKE_GUI_MODE", "wait");  // the GUI stays until it is killed
        Opened o(SAMPLE_MODEL, options);
        QAction* command = o.window->command_action("Export ZEL");
        QVERIFY(command);
        // Image 0 of the command strip the add-in wrote, at the size nearest the toolbar's (20 of 24).
        const auto groups = occt::occt_command_groups(o.application);
        QCOMPARE(groups.size(), std::size_t(1));
        const QImage strip(QString::fromStdU16String(groups[0].icons.front()));
        QCOMPARE(strip.height(), 20);
        QCOMPARE(command->icon().pixmap(20, 20).toImage().convertToFormat(QImage::Format_RGB32),
                 strip.copy(0, 0, 20, 20).convertToFormat(QImage::Format_RGB32));
        QVERIFY(command->isEnabled());

        auto lock_box = [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() &&
                                                               box->windowTitle() == "velmora-host is locked.")
                    return box;
            return static_cast<QMessageBox*>(nullptr);
        };
        QSignalSpy ended(o.window.get(), &host::CadWindow::run_ended);

        // Closing the box ends the run.
        command->trigger();
        QVERIFY(!command->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(lock_box(), 20000);
        QVERIFY(lock_box()->text().startsWith("Do not close this dialog"));
        lock_box()->close();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
        QVERIFY(command->isEnabled());

        // stop_rpc_service closes it.
        port = 0;
        command->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(lock_box() && port != 0, 20000);
        CAD_RPC::CAD_RPC_Connection(port).client().stop_rpc_service();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 2, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!lock_box(), 5000);
        QVERIFY(command->isEnabled());

        // A GUI that ends the run itself, as Tarvik does when it closes.
        qputenv("FAKE_GUI_MODE", "stop");
        command->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 3, 20000);
        QVERIFY(command->isEnabled());
    }

    // Closed while the serving thread is held in a call (an export into a
    // FIFO that nobody reads yet), the window goes on drawing, and closes
    // once the run has ended.
    void closing_during_a_call_keeps_the_window_drawing()
    {
        auto events = std::make_shared<PortEvents>();
        std::atomic<int>& port = events->port;
        cad::RunSettings options;
        options.port = 0;
        options.start_gui = false;
        options.events = events;
        Opened o(SAMPLE_MODEL, options);
        QSignalSpy ended(o.window.get(), &host::CadWindow::run_ended);
        o.window->perform("Export ZEL");
        QTRY_VERIFY_WITH_TIMEOUT(port != 0, 20000);
        const std::string fifo = (folder / "held.zel").string();
        QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
        std::thread client([&] {
            CAD_RPC::CAD_RPC_Connection connection(port);
            CAD_RPC::Tree tree;
            connection.client().get_cad_tree(tree);
            CAD_RPC::Settings settings;
            settings.export_solids = true;
            settings.save_filepath = fifo;
            connection.client().export_zel(tree, settings);
        });
        QTest::qWait(500);  // the serving thread now waits for a reader
        QElapsedTimer timer;
        timer.start();
        o.window->close();
        QVERIFY(timer.elapsed() < 1000);
        QTest::qWait(300);
        QVERIFY(o.window->isVisible());
        QCOMPARE(ended.count(), 0);
        std::ifstream(fifo).ignore(std::numeric_limits<std::streamsize>::max());
        client.join();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!o.window->isVisible(), 5000);
    }

    // velmora-host itself: the window opens and performs the command, its
    // GUI gets the port and no blocked signals; SIGTERM closes the window,
    // which ends the run first; nothing is left.
    void closing_the_window_ends_the_run_and_the_program()
    {
        const fs::path tmp = folder / "tmp", gui_record = folder / "gui.txt";
        fs::create_directories(tmp);
        testing::ChildProcess host({VELMORA_HOST, "--gui", FAKE_GUI, "--port", "0", "--verbose", SAMPLE_MODEL},
                                   {"TMPDIR=" + tmp.string(), "FAKE_GUI_MODE=wait", "FAKE_GUI_OUT=" + gui_record.string()});
        const int port = testing::serving_port(host);
        QVERIFY2(port > 0, host.error_text().c_str());
        QTRY_VERIFY_WITH_TIMEOUT(fs::exists(gui_record), 10000);
        ::kill(host.pid(), SIGTERM);
        QCOMPARE(host.wait(std::chrono::seconds(60)), std::optional<int>(0));
        // The GUI's pid, its one argument, the port; then no GUI left (killed
        // and reaped), no bitmap file, no port.
        std::ifstream record(gui_record);
        std::string gui, rest;
        QVERIFY(std::getline(record, gui) && std::getline(record, rest, '\0'));
        QCOMPARE(rest, "1\n" + std::to_string(port) + "\nsignals open\n");
        QCOMPARE(::kill(std::stoi(gui), 0), -1);
        for (const auto& entry : fs::directory_iterator(tmp))
            QVERIFY2(entry.path().filename().string().rfind("swt", 0) != 0, entry.path().c_str());
        QVERIFY_THROWS_EXCEPTION(apache::thrift::transport::TTransportException,
                                 CAD_RPC::CAD_RPC_Connection{port});
    }
};

QTEST_MAIN(CadWindowTest)
#include "cad_window_test.moc"
