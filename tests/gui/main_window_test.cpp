// The main window against the add-in's real handler over loopback: what
// the user's clicks send, what the export sends, and what each failure shows.
#include <filesystem>
#include <fstream>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QMimeData>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTreeView>
#include <QtTest>

#include "cad_rpc_connection.h"
#include "gui/cadtree/cad_tree_model.h"
#include "gui/cadtree/name_correction_proxy_model.h"
#include "gui/emc/emc_tree_model.h"
#include "gui/common/error_reporter.h"
#include "gui/shell/main_window.h"
#include "gui/common/node_icons.h"
#include "served_add_in.h"

using tarvik::testing::ServedAddIn;
namespace fs = std::filesystem;

namespace {

struct Report {
    QString title, text;
};

template <class T>
T* child(QWidget& window, const char* name)
{
    T* widget = window.findChild<T*>(QString::fromLatin1(name));
    if (!widget) qFatal("no widget %s", name);
    return widget;
}

QModelIndex find_row(const QAbstractItemModel& model, const QString& name)
{
    const QModelIndexList hits =
        model.match(model.index(0, 0), CAD_TreeModel::NameRole, name, 1, Qt::MatchExactly | Qt::MatchRecursive);
    return hits.isEmpty() ? QModelIndex() : hits.first();
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ServedAddIn> add_in;
    std::unique_ptr<CAD_RPC::CAD_RPC_Connection> connection;
    std::vector<Report> reports;
    fs::path folder;

    std::unique_ptr<MainWindow> open_window(const std::string& path = {})
    {
        auto window = std::make_unique<MainWindow>(&connection->client(), path);
        add_in->handler->clear();
        reports.clear();
        return window;
    }
    std::vector<std::string> calls() const { return add_in->handler->calls(); }
    // A plain click on a row of the CAD tree, as the user makes it.
    void click(MainWindow& window, const QString& name, Qt::KeyboardModifiers modifiers = {})
    {
        auto* view = child<QTreeView>(window, "CAD_tree_view");
        const QModelIndex index = find_row(*view->model(), name);
        QVERIFY2(index.isValid(), qPrintable(name));
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, view->visualRect(index).center());
    }
    std::string id_of(const MainWindow& window, const QString& name) const
    {
        return std::to_string(find_row(*window.get_cad_tree_model(), name).data(CAD_TreeModel::IdRole).toInt());
    }

private slots:
    void initTestCase()
    {
        load_node_icons();
        set_error_reporter([this](QWidget*, const QString& title, const QString& text) {
            reports.push_back({title, text});
        });
        add_in = std::make_unique<ServedAddIn>();
        connection = std::make_unique<CAD_RPC::CAD_RPC_Connection>(add_in->port());
        folder = fs::temp_directory_path() / ("tarvik-window-" + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    void cleanupTestCase()
    {
        connection.reset();
        add_in.reset();
        fs::remove_all(folder);
    }

    void selection_changes_highlight_exactly_what_changed()
    {
        auto window = open_window();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        child<QTreeView>(*window, "CAD_tree_view")->expandAll();
        click(*window, "A");
        click(*window, "B", Qt::ControlModifier);
        click(*window, "Axis", Qt::ControlModifier);
        add_in->handler->clear();

        click(*window, "Bolt M6");
        const std::string three = id_of(*window, "A") + "," + id_of(*window, "B") + "," + id_of(*window, "Axis");
        QCOMPARE(calls(), (std::vector<std::string>{"set_highlight_status_of_ids " + three + " false",
                                                    "set_highlight_status_of_ids " + id_of(*window, "Bolt M6") + " true",
                                                    "refresh_display"}));
        QVERIFY(add_in->model->log->count("Body::select") >= 1);  // the host really highlighted
        // The main settings tab takes every highlight away; with none left, nothing is sent.
        add_in->handler->clear();
        window->on_tabwidget_currentChanged(0);
        QCOMPARE(calls(), (std::vector<std::string>{
                              "set_highlight_status_of_ids " + id_of(*window, "Bolt M6") + " false", "refresh_display"}));
        add_in->handler->clear();
        child<QTreeView>(*window, "CAD_tree_view")->clearSelection();
        QVERIFY(calls().empty());
        QVERIFY(reports.empty());
    }

    void export_sends_the_form_and_the_file_appears()
    {
        const fs::path out = folder / "Станок.zel";
        auto window = open_window(out.string());
        child<QCheckBox>(*window, "export_curves")->setChecked(false);
        child<QRadioButton>(*window, "all_as_visible")->setChecked(true);
        QTest::mouseClick(child<QPushButton>(*window, "export_button"), Qt::LeftButton);

        QVERIFY2(reports.empty(), reports.empty() ? "" : qPrintable(reports.front().text));
        QCOMPARE(calls(), std::vector<std::string>{"export_zel"});
        const CAD_RPC::Settings& sent = add_in->handler->last_settings;
        QCOMPARE(sent.save_filepath, out.string());
        QVERIFY(sent.export_solids && !sent.export_curves && sent.export_points && sent.export_MIPs);
        QCOMPARE(sent.facet_model_quality, CAD_RPC::FacetModelQuality::Standard);
        QCOMPARE(sent.MIP_settings, CAD_RPC::MIP_Settings::MIPForEach);
        QCOMPARE(sent.visibility_settings, CAD_RPC::VisibilitySettings::AllAsVisible);
        QCOMPARE(sent.templates_settings, CAD_RPC::TemplatesSettings::SimpleObjectEnumeration);
        for (const auto& [key, node] : add_in->handler->last_tree.nodes) QVERIFY(node.is_visible);
        std::ifstream file(out);
        const std::string text((std::istreambuf_iterator<char>(file)), {});
        QVERIFY(text.find("Body_$1") != std::string::npos);  // the corrected names
        QCOMPARE(window->statusBar()->currentMessage(), QString("The ZEL export has been done."));

        // Nothing ticked still asks the add-in; hidden objects stay hidden, the root included.
        for (const char* name : {"export_solids", "export_points", "export_MIPs"})
            child<QCheckBox>(*window, name)->setChecked(false);
        child<QRadioButton>(*window, "all_unchanged")->setChecked(true);
        window->export_cad();
        QVERIFY(!add_in->handler->last_settings.export_solids && !add_in->handler->last_settings.export_MIPs);
        QCOMPARE(add_in->handler->last_tree.nodes.at(0).is_visible, false);
    }

    void an_empty_path_asks_and_a_cancelled_dialog_sends_nothing()
    {
        auto window = open_window();
        QStringList asked;
        QString answer;
        window->set_save_file_dialog([&](QWidget*, const QString& caption, const QString& dir, const QString& filter) {
            asked << caption << dir << filter;
            return answer;
        });
        window->export_cad();
        QCOMPARE(asked, (QStringList{"Save ZEL file", "", "ZEL Files (*.zel);;All Files (*)"}));
        QVERIFY(calls().empty());
        QCOMPARE(window->statusBar()->currentMessage(), QString("The CAD tree has been loaded."));
        QVERIFY(reports.empty());

        answer = QString::fromStdString((folder / "chosen.zel").string());
        window->export_cad();
        QCOMPARE(child<QLineEdit>(*window, "ZEL_filepath")->text(), answer);
        QCOMPARE(calls(), std::vector<std::string>{"export_zel"});
        QVERIFY(fs::exists(folder / "chosen.zel"));

        // "Browse..." keeps the field when cancelled.
        answer.clear();
        QTest::mouseClick(child<QPushButton>(*window, "ZEL_filepath_button"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(*window, "ZEL_filepath")->text(), QString::fromStdString((folder / "chosen.zel").string()));
    }

    void a_failed_export_shows_the_add_ins_message()
    {
        auto window = open_window((folder / "no such folder" / "out.zel").string());
        window->statusBar()->showMessage("before");
        window->export_cad();
        QCOMPARE(reports.size(), std::size_t(1));
        QCOMPARE(reports[0].title, QString("Error!"));
        QVERIFY2(reports[0].text.startsWith("Unable to export a CAD tree!\n"), qPrintable(reports[0].text));
        QVERIFY2(reports[0].text.contains("no such folder"), qPrintable(reports[0].text));
        QCOMPARE(window->statusBar()->currentMessage(), QString("before"));
    }

    void a_failed_tree_leaves_an_empty_window_not_to_be_shown()
    {
        add_in->handler->tree_failure = "the model is being rebuilt";
        reports.clear();
        MainWindow window(&connection->client(), "");
        add_in->handler->tree_failure.clear();
        QVERIFY(!window.tree_loaded());
        QCOMPARE(reports.size(), std::size_t(1));
        QCOMPARE(reports[0].text, QString("Unable to get a CAD tree from a CAD plugin!\nthe model is being rebuilt"));
        QCOMPARE(window.get_cad_tree_model()->rowCount(), 0);
        QCOMPARE(window.get_name_proxy()->rowCount(), 0);
        QVERIFY(!window.findChild<QWidget*>("ext_settings_tab")->isEnabled());
    }

    void when_the_add_in_has_gone_each_operation_reports_it()
    {
        ServedAddIn short_lived;
        CAD_RPC::CAD_RPC_Connection link(short_lived.port());
        MainWindow window(&link.client(), (folder / "gone.zel").string());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // An EMC configuration saved while the add-in was still there.
        EMC_TreeModel* emc = window.get_emc_model();
        emc->set_dialog_runner([](QDialog& dialog) {
            dialog.findChild<QComboBox*>("method_combo_box")->setCurrentIndex(1);  // solidB
            return true;
        });
        emc->add_M_obj();
        const QModelIndex bolt = find_row(*window.get_cad_tree_model(), "Bolt M6");
        std::unique_ptr<QMimeData> mime(window.get_cad_tree_model()->mimeData({bolt}));
        QVERIFY(emc->dropMimeData(mime.get(), Qt::CopyAction, -1, 0, emc->index(0, 0)));
        const QString emc_file = QString::fromStdString((folder / "gone.emc").string());
        QVERIFY(emc->save(emc_file));
        reports.clear();
        short_lived.stop();

        window.export_cad();
        click(window, "A");
        QVERIFY(!emc->dropMimeData(mime.get(), Qt::CopyAction, -1, 0, emc->index(0, 0)));
        QVERIFY(!emc->load(emc_file));
        child<QGroupBox>(window, "EMC_settings_groupbox")->setChecked(true);
        const QStringList sentences{"Unable to export a CAD tree!\n", "Unable to set highlight!\n",
                                    "Unable to add the CAD objects!\n", "Unable to load EMC file!\n",
                                    "Unable to apply the EMC configuration!\n"};
        QCOMPARE(reports.size(), std::size_t(sentences.size()));
        for (int i = 0; i < sentences.size(); ++i) {
            QVERIFY2(reports[i].text.startsWith(sentences[i]), qPrintable(reports[i].text));
            QVERIFY2(reports[i].text.size() > sentences[i].size(), "no cause given");
        }
        QVERIFY(!fs::exists(folder / "gone.zel"));
        // The configuration is still there and still the user's to save.
        QCOMPARE(emc->rowCount(), 1);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
