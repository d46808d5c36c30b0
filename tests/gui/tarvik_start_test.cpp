// Start-up and the end of a run, through the same entry the program uses,
// against the add-in's handler over loopback.

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

#include "tests/loopback.h"
#include "gui/common/error_reporter.h"
#include "gui/shell/main_window.h"
#include "gui/common/node_icons.h"
#include "gui/shell/tarvik_start.h"
#include "served_add_in.h"

using tarvik::testing::ServedAddIn;

namespace {

// A loopback port on which nothing listens (it was free a moment ago).
int closed_port() { return velmora::testing::LoopbackSocket(false).port; }

MainWindow* shown_main_window()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<MainWindow*>(widget); window && window->isVisible()) return window;
    return nullptr;
}

}  // namespace

class TarvikStartTest : public QObject {
    Q_OBJECT

    QStringList reports;
    bool window_shown = false;

    // Runs the program; once its window is up, `while_shown` sees it and
    // the window is closed as the user would close it.
    int run(const std::vector<std::string>& arguments, std::function<void(MainWindow&)> while_shown = {})
    {
        reports.clear();
        window_shown = false;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (MainWindow* window = shown_main_window()) {
                poll.stop();
                window_shown = true;
                if (while_shown) while_shown(*window);
                window->close();
            }
        });
        poll.start();
        return run_tarvik(arguments);
    }

private slots:
    void initTestCase()
    {
        load_node_icons();
        set_error_reporter([this](QWidget*, const QString& title, const QString& text) { reports << title << text; });
    }

    void only_a_port_starts_a_session()
    {
        QCOMPARE(port_from_argument("9090x"), 9090);  // its leading digits
        QCOMPARE(port_from_argument(" +42"), 42);
        QCOMPARE(port_from_argument("99999999999999999999"), 0);
        ServedAddIn add_in;
        for (const std::vector<std::string>& arguments :
             {std::vector<std::string>{}, {"abc"}, {"0"}, {"-7"}, {"70000"}, {"0", "/tmp/out.zel"}}) {
            QCOMPARE(run(arguments), 1);
            QVERIFY(!window_shown);
            QCOMPARE(reports, (QStringList{"Error!", "GUI can be started only from the CAD plugin!"}));
        }
        QVERIFY(add_in.serving());  // nothing reached the add-in
    }

    void a_port_where_nothing_listens_ends_with_the_connection_error()
    {
        QCOMPARE(run({std::to_string(closed_port())}), 1);
        QCOMPARE(reports.size(), 2);
        QCOMPARE(reports[0], QString("Error!"));
        QVERIFY2(reports[1].startsWith("Unable to connect to the CAD plugin from GUI!\n"), qPrintable(reports[1]));
        QVERIFY2(reports[1].size() > QString("Unable to connect to the CAD plugin from GUI!\n").size(), "no cause given");
    }

    void a_run_fills_the_path_from_exactly_two_arguments_and_stops_the_service_when_closed()
    {
        const std::string port = "1";
        const std::pair<std::vector<std::string>, QString> cases[] = {
            {{port + "x", "/tmp/выход.zel"}, "/tmp/выход.zel"}, {{port}, ""}, {{port, "/tmp/a.zel", "/tmp/b.zel"}, ""}};
        for (const auto& [arguments, expected] : cases) {
            ServedAddIn add_in;
            std::vector<std::string> with_port = arguments;
            with_port[0] = std::to_string(add_in.port()) + (with_port[0].back() == 'x' ? "x" : "");
            QString path = "unset";
            QCOMPARE(run(with_port, [&](MainWindow& w) { path = w.findChild<QLineEdit*>("ZEL_filepath")->text(); }), 0);
            QCOMPARE(path, expected);
            QTRY_VERIFY(!add_in.serving());  // the run was told to end
            QVERIFY(reports.isEmpty());
        }
    }

    void a_failed_tree_ends_with_1_and_still_stops_the_service()
    {
        // An assembly whose root the host no longer hands out.
        ServedAddIn add_in([](velmora::memory::MemoryModel& model) { model.open_assembly(u"Empty")->configuration->root = nullptr; });
        QCOMPARE(run({std::to_string(add_in.port())}), 1);
        QVERIFY(!window_shown);
        QCOMPARE(reports, (QStringList{"Error!", "Unable to get a CAD tree from a CAD plugin!\nERROR: assembly has no root component!"}));
        QTRY_VERIFY(!add_in.serving());
    }

    void closing_after_the_add_in_has_gone_ends_normally()
    {
        ServedAddIn add_in;
        QCOMPARE(run({std::to_string(add_in.port())}, [&](MainWindow&) { add_in.stop(); }), 0);
        QVERIFY(reports.isEmpty());
    }
};

QTEST_MAIN(TarvikStartTest)
#include "tarvik_start_test.moc"
