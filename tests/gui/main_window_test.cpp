// The main window against the add-in's real handler over loopback: what
// the user's clicks highlight in the host, what the export writes, and what
// each failure shows.
#include <filesystem>
#include <fstream>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTreeView>
#include <QtTest>

#include "gui/cadtree/cad_tree_model.h"
#include "gui/cadtree/name_correction_proxy_model.h"
#include "gui/emc/emc_controller.h"
#include "gui/emc/emc_tree_model.h"
#include "gui/shell/main_window.h"
#include "served_add_in.h"
#include "tree_rows.h"
#include "tests/scratch.h"

using namespace tarvik::testing;
namespace fs = std::filesystem;

class MainWindowTest : public QObject {
    Q_OBJECT

    tarvik::testing::ServedTarvik served;
    QStringList& reports = served.reports;
    fs::path folder;

    // A plain click on a row of the CAD tree, as the user makes it.
    void click(MainWindow& window, const QString& name, Qt::KeyboardModifiers modifiers = {})
    {
        auto* view = child<QTreeView>(window, "CAD_tree_view");
        const QModelIndex index = cad_row(*view->model(), name);
        QVERIFY2(index.isValid(), qPrintable(name));
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, view->visualRect(index).center());
    }
    // What the host shows selected: components, bodies and features by name.
    QStringList host_selection() const
    {
        QStringList out;
        auto& root = *served.add_in.model->application->active_document->configuration->root;
        for (const auto& child : root.children) {
            const auto c = std::dynamic_pointer_cast<velmora::memory::MemoryComponent>(child);
            if (!c) continue;
            if (c->selected) out << QString::fromStdU16String(c->name);
            for (const auto& b : c->bodies)
                if (b->selected) out << QString::fromStdU16String(b->name);
        }
        return out;
    }

private slots:
    void initTestCase() { folder = velmora::testing::scratch("tarvik-window"); }
    void init() { reports.clear(); }
    void cleanupTestCase() { fs::remove_all(folder); }

    void the_selection_is_what_the_host_highlights()
    {
        MainWindow window(served.client(), "");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        child<QTreeView>(window, "CAD_tree_view")->expandAll();
        click(window, "A");
        click(window, "B", Qt::ControlModifier);
        QCOMPARE(host_selection(), (QStringList{"A", "B"}));
        click(window, "Bolt M6");
        QCOMPARE(host_selection(), QStringList{"Bolt M6"});
        // The main settings tab takes every highlight away.
        window.on_tabwidget_currentChanged(0);
        QCOMPARE(host_selection(), QStringList{});
        QVERIFY(reports.isEmpty());
    }

    void export_writes_what_the_form_says()
    {
        const fs::path out = folder / "Станок.zel";
        MainWindow window(served.client(), out.string());
        child<QCheckBox>(window, "export_curves")->setChecked(false);
        child<QRadioButton>(window, "all_as_visible")->setChecked(true);
        QTest::mouseClick(child<QPushButton>(window, "export_button"), Qt::LeftButton);
        QVERIFY2(reports.isEmpty(), qPrintable(reports.join('\n')));
        const std::string text = velmora::testing::read_text(out);
        QVERIFY(text.find("Body_$1") != std::string::npos);  // the corrected names
        QVERIFY(text.find("<line") == std::string::npos && text.find("visible=\"false\"") == std::string::npos);
        QCOMPARE(window.statusBar()->currentMessage(), QString("The ZEL export has been done."));

        // An empty path asks; a cancelled question sends nothing.
        child<QLineEdit>(window, "ZEL_filepath")->clear();
        QString answer;
        window.set_save_file_dialog([&](QWidget*, const QString&, const QString&, const QString&) { return answer; });
        fs::remove(out);
        window.export_cad();
        QVERIFY(!fs::exists(out));
        answer = QString::fromStdString(out.string());
        window.export_cad();
        QVERIFY(fs::exists(out));
    }

    void failures_show_their_cause()
    {
        // A folder that is not there: the add-in's message.
        MainWindow window(served.client(), (folder / "no such folder" / "out.zel").string());
        window.export_cad();
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports[0].startsWith("Error!: Unable to export a CAD tree!\n") && reports[0].contains("no such folder"),
                 qPrintable(reports[0]));

        // The add-in gone: each operation says so, and the EMC configuration stays the user's.
        ServedAddIn short_lived;
        CAD_RPC::CAD_RPC_Connection link(short_lived.port());
        MainWindow gone(&link.client(), (folder / "gone.zel").string());
        gone.show();
        QVERIFY(QTest::qWaitForWindowExposed(&gone));
        EMC_Controller* emc = gone.get_emc();
        EMC_TreeModel* model = gone.get_emc_model();
        emc->set_dialog_runner([](QDialog& dialog) {
            dialog.findChild<QComboBox*>("method_combo_box")->setCurrentIndex(1);  // solidB: sizes asked of the add-in
            return true;
        });
        emc->add_item();
        QVERIFY(drop(*gone.get_cad_tree_model(), *model, {"Bolt M6"}, model->index(0, 0)));
        const QString emc_file = QString::fromStdString((folder / "gone.emc").string());
        QVERIFY(emc->save(emc_file));
        short_lived.stop();
        reports.clear();
        gone.export_cad();
        click(gone, "A");
        drop(*gone.get_cad_tree_model(), *model, {"Bolt M6"}, model->index(0, 0));
        QVERIFY(!emc->load(emc_file));
        child<QGroupBox>(gone, "EMC_settings_groupbox")->setChecked(true);
        const QStringList sentences{"Unable to export a CAD tree!\n", "Unable to set highlight!\n",
                                    "Unable to add the CAD objects!\n", "Unable to load EMC file!\n",
                                    "Unable to apply the EMC configuration!\n"};
        QCOMPARE(reports.size(), sentences.size());
        for (int i = 0; i < sentences.size(); ++i) QVERIFY2(reports[i].startsWith("Error!: " + sentences[i]), qPrintable(reports[i]));
        QVERIFY(!fs::exists(folder / "gone.zel"));
        QCOMPARE(model->rowCount(model->index(0, 0)), 1);
    }

    void a_failed_tree_leaves_an_empty_window_not_to_be_shown()
    {
        ServedAddIn gone_before;
        CAD_RPC::CAD_RPC_Connection link(gone_before.port());
        gone_before.stop();
        MainWindow window(&link.client(), "");
        QVERIFY(!window.tree_loaded());
        QCOMPARE(reports.size(), 1);
        QVERIFY(reports[0].startsWith("Error!: Unable to get a CAD tree from a CAD plugin!\n"));
        QCOMPARE(window.get_cad_tree_model()->rowCount(), 0);
        QVERIFY(!window.findChild<QWidget*>("ext_settings_tab")->isEnabled());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
