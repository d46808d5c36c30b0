// The EMC tools of the main window, through its widgets, against the
// add-in's handler: the whole path from a drop to the exported file.
#include <filesystem>
#include <fstream>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTreeView>
#include <QtTest>

#include "gui/cadtree/cad_emc_proxy_model.h"
#include "gui/cadtree/cad_tree_model.h"
#include "gui/cadtree/name_correction_proxy_model.h"
#include "gui/emc/emc_controller.h"
#include "gui/emc/emc_tree_model.h"
#include "gui/shell/main_window.h"
#include "served_add_in.h"
#include "tree_rows.h"
#include "tests/scratch.h"

using tarvik::testing::child;
namespace fs = std::filesystem;

class EmcWindowTest : public QObject {
    Q_OBJECT

    tarvik::testing::ServedTarvik served;
    QStringList& reports = served.reports;
    QTemporaryDir folder;
    QString answer;      // what the file dialogs answer
    int question = 0;    // what the Save / Discard / Cancel box answers
    int questions = 0;   // how often it was asked

    std::unique_ptr<MainWindow> open_window()
    {
        auto window = std::make_unique<MainWindow>(served.client(), "");
        window->set_save_file_dialog([this](QWidget*, const QString&, const QString&, const QString&) { return answer; });
        window->set_open_file_dialog([this](QWidget*, const QString&, const QString&, const QString&) { return answer; });
        window->set_save_changes_question([this](QWidget*) {
            ++questions;
            return question;
        });
        window->get_emc()->set_dialog_runner([](QDialog&) { return true; });
        return window;
    }
    static bool drop(MainWindow& window, const QStringList& names, const QModelIndex& onto)
    {
        return tarvik::testing::drop(*window.get_cad_tree_model(), *window.get_emc_model(), names, onto);
    }

private slots:
    void init()
    {
        reports.clear();
        answer.clear();
        questions = 0;
    }

    void a_configuration_reshapes_the_export()
    {
        auto window = open_window();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* save = child<QPushButton>(*window, "save_button");
        QVERIFY(!save->isEnabled());
        // A change while the tool is off leaves the button with its disabled group.
        window->get_emc_model()->clear();
        QVERIFY(!save->isEnabled());

        child<QGroupBox>(*window, "EMC_settings_groupbox")->setChecked(true);
        QVERIFY(save->isEnabled());
        child<QGroupBox>(*window, "EMC_edit_config_groupbox")->setChecked(true);
        QVERIFY(child<QTreeView>(*window, "CAD_tree_view")->dragEnabled());

        QTest::mouseClick(child<QPushButton>(*window, "EMC_add_m_button"), Qt::LeftButton);
        EMC_TreeModel* emc = window->get_emc_model();
        QCOMPARE(emc->rowCount(), 1);
        QVERIFY(save->isEnabled());
        QVERIFY(drop(*window, {"Body", "Bolt M6"}, emc->index(0, 0)));
        // The right-hand view follows the configuration at once.
        QCOMPARE(window->get_name_proxy()->index(0, 0).data().toString(), QString("New_CAE_item"));
        QCOMPARE(window->get_name_proxy()->rowCount(window->get_name_proxy()->index(0, 0)), 2);

        const fs::path out = fs::path(folder.path().toStdString()) / "reshaped.zel";
        child<QLineEdit>(*window, "ZEL_filepath")->setText(QString::fromStdString(out.string()));
        child<QPushButton>(*window, "export_button")->click();
        QVERIFY2(reports.isEmpty(), qPrintable(reports.join("; ")));
        const std::string text = velmora::testing::read_text(out);
        QVERIFY2(text.find("name=\"New_CAE_item\"") != std::string::npos, text.c_str());
        QVERIFY(text.find("name=\"Bolt_M6\"") != std::string::npos);
        // A was not configured, so it is not exported.
        QVERIFY(text.find("name=\"A\"") == std::string::npos);

        // solidB with a size beyond every solid; the radio buttons choose the MIPs.
        window->get_emc()->set_dialog_runner([](QDialog& dialog) {
            dialog.findChild<QComboBox*>("method_combo_box")->setCurrentIndex(1);
            dialog.findChild<QDoubleSpinBox*>("min_size_spin_box")->setValue(1e6);
            return true;
        });
        window->get_emc()->edit(emc->index(0, 0));
        const QAbstractItemModel* shown = window->get_name_proxy();
        QCOMPARE(shown->rowCount(shown->index(0, 0)), 2);
        QCOMPARE(shown->index(0, 0, shown->index(0, 0)).data(CAD_TreeModel::TypeRole).toInt(),
                 int(CAD_RPC::NodeType::ElementMIP));
        child<QRadioButton>(*window, "signle_MIP_for_all")->click();
        QCOMPARE(shown->rowCount(shown->index(0, 0)), 1);
        QCOMPARE(shown->index(0, 0, shown->index(0, 0)).data().toString(), QString("mipEmptySolid"));
        QCOMPARE(window->settings_from_form().MIP_settings, CAD_RPC::MIP_Settings::SingleMIPForAll);
        child<QRadioButton>(*window, "MIP_for_each")->click();
        QCOMPARE(shown->rowCount(shown->index(0, 0)), 2);

        // Off again: the plain CAD tree is exported.
        child<QGroupBox>(*window, "EMC_settings_groupbox")->setChecked(false);
        QCOMPARE(window->get_name_proxy()->sourceModel(), window->get_cad_tree_model());

        question = QMessageBox::Discard;
        window->close();
    }

    void changes_made_while_the_tool_is_off_show_when_it_is_on()
    {
        auto window = open_window();
        EMC_TreeModel* emc = window->get_emc_model();
        window->get_emc()->add_item();
        child<QGroupBox>(*window, "EMC_settings_groupbox")->setChecked(true);
        child<QGroupBox>(*window, "EMC_settings_groupbox")->setChecked(false);
        QVERIFY(drop(*window, {"Bolt M6"}, emc->index(0, 0)));
        child<QGroupBox>(*window, "EMC_settings_groupbox")->setChecked(true);
        QCOMPARE(window->get_cad_emc_proxy()->rowCount(window->get_cad_emc_proxy()->index(0, 0)), 1);
        question = QMessageBox::Discard;
    }

    // Save asks for a path only once; "Save as" takes its path even when the
    // save then fails; Open replaces the configuration; Delete removes the
    // selected row only.
    void save_open_and_delete()
    {
        auto window = open_window();
        EMC_TreeModel* emc = window->get_emc_model();
        auto* path = child<QLineEdit>(*window, "EMC_filepath");
        child<QGroupBox>(*window, "EMC_settings_groupbox")->setChecked(true);
        child<QGroupBox>(*window, "EMC_edit_config_groupbox")->setChecked(true);
        window->get_emc()->add_item();
        QVERIFY(drop(*window, {"Body", "Point 1"}, emc->index(0, 0)));
        const QString first = QString::fromStdString((fs::path(folder.path().toStdString()) / "first.emc").string());
        answer = first;
        child<QPushButton>(*window, "save_button")->click();
        QCOMPARE(path->text(), first);
        QVERIFY(!child<QPushButton>(*window, "save_button")->isEnabled());
        window->get_emc()->add_item();
        QVERIFY(drop(*window, {"Bolt M6"}, emc->index(1, 0)));
        answer = "/never/asked.emc";
        child<QPushButton>(*window, "save_button")->click();
        QVERIFY(!window->get_emc()->is_modified());

        answer = first + "/x.emc";
        child<QPushButton>(*window, "save_as_button")->click();
        QCOMPARE(path->text(), answer);
        QCOMPARE(reports.size(), 1);

        emc->clear();
        question = QMessageBox::Discard;
        answer = first;
        child<QPushButton>(*window, "open_button")->click();
        QCOMPARE(questions, 1);
        QCOMPARE(emc->rowCount(), 2);

        auto* view = child<QTreeView>(*window, "EMC_tree_view");
        child<QPushButton>(*window, "EMC_delete_button")->click();
        QCOMPARE(emc->rowCount(), 2);
        view->selectionModel()->select(emc->index(1, 0, emc->index(0, 0)), QItemSelectionModel::ClearAndSelect);
        child<QPushButton>(*window, "EMC_delete_button")->click();
        QCOMPARE(emc->rowCount(emc->index(0, 0)), 1);
    }

    void closing_with_unsaved_changes_asks_first()
    {
        auto window = open_window();
        window->show();
        window->get_emc()->add_item();
        QVERIFY(drop(*window, {"Bolt M6"}, window->get_emc_model()->index(0, 0)));

        question = QMessageBox::Cancel;
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        // "Save" whose dialog is cancelled keeps the window and the changes.
        question = QMessageBox::Save;
        answer.clear();
        QVERIFY(!window->close());
        QVERIFY(window->get_emc()->is_modified());

        answer = QString::fromStdString((fs::path(folder.path().toStdString()) / "on_close.emc").string());
        QVERIFY(window->close());
        QVERIFY(fs::exists(answer.toStdString()));
        QCOMPARE(questions, 3);

        // Nothing unsaved: closed without a question.
        auto clean = open_window();
        clean->show();
        QVERIFY(clean->close());
        QCOMPARE(questions, 3);
    }
};

QTEST_MAIN(EmcWindowTest)
#include "emc_window_test.moc"
