#include "main_window.h"

#include <exception>

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

#include "gui/common/error_reporter.h"
#include "gui/cadtree/cad_emc_proxy_model.h"
#include "gui/cadtree/cad_tree_check.h"
#include "gui/cadtree/cad_tree_model.h"
#include "gui/cadtree/name_correction_proxy_model.h"
#include "gui/emc/emc_controller.h"
#include "gui/emc/emc_tree_model.h"
#include "export_client/export_client.h"
#include "languages.h"
#include "ui_main_window.h"

MainWindow::MainWindow(CAD_RPC::CAD_RPC_ServiceClient* rpc_client, const std::string& initial_path, QWidget* parent)
    : QMainWindow(parent),
      ui(new Ui::MainWindow),
      client(rpc_client),
      cad_tree_model(new CAD_TreeModel(this)),
      name_proxy(new NameCorrectionProxyModel(this))
{
    ui->setupUi(this);
    connect(ui->action_about, &QAction::triggered, this, &MainWindow::show_about);
    languages = new Languages(ui->menu_language);
    connect(languages, &Languages::changed, this, [this](const QString& name, const QIcon& flag) {
        if (!flag.isNull()) setWindowIcon(flag);
        statusBar()->showMessage(tr("Current Language changed to %1").arg(name));
    });
    languages->fill();
    ui->ZEL_filepath->setText(QString::fromUtf8(initial_path.c_str()));

    load_cad_tree();

    cad_tree_model->set_tree(&cad_tree);
    name_proxy->setSourceModel(cad_tree_model);
    ui->CAD_tree_view->setModel(cad_tree_model);
    ui->CAD_tree_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ui->CAD_tree_view->setDragEnabled(false);
    connect(ui->CAD_tree_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::highlight_selection);
    ui->ZEL_tree_view->setModel(name_proxy);

    emc_model = new EMC_TreeModel(this);
    emc = new EMC_Controller(emc_model, &cad_tree, client, this);
    cad_emc_proxy = new CAD_EMC_ProxyModel(this);
    ui->EMC_tree_view->setModel(emc_model);
    connect(ui->EMC_add_m_button, &QPushButton::clicked, emc, &EMC_Controller::add_item);
    connect(ui->EMC_erase_button, &QPushButton::clicked, emc, &EMC_Controller::clear);
    connect(ui->EMC_tree_view, &QTreeView::doubleClicked, emc, &EMC_Controller::edit);
    emc_files = new EmcFiles(emc, ui->EMC_filepath, questions,
                             [this](const QString& text) { statusBar()->showMessage(text); }, this);
    connect(ui->open_button, &QPushButton::clicked, emc_files, &EmcFiles::open);
    connect(ui->save_button, &QPushButton::clicked, emc_files, &EmcFiles::save);
    connect(ui->save_as_button, &QPushButton::clicked, emc_files, &EmcFiles::save_as);
    connect(emc, &EMC_Controller::modified_changed, this, [this](bool modified) {
        if (modified)
            enable_EMC_save_button();
        else
            disable_EMC_save_button();
    });
    connect(emc_model, &EMC_TreeModel::changed, this, &MainWindow::apply_emc_configuration);
    connect(ui->MIP_for_each, &QRadioButton::toggled, this, [this](bool on) {
        if (on && ui->EMC_settings_groupbox->isChecked()) rebuild_emc_proxy(false);
    });
    connect(ui->signle_MIP_for_all, &QRadioButton::toggled, this, [this](bool on) {
        if (on && ui->EMC_settings_groupbox->isChecked()) rebuild_emc_proxy(true);
    });

    // Not offered; the widgets keep their states, which the settings still read.
    ui->facet_quality_settings->setEnabled(false);
    ui->facet_quality_settings->hide();
    // The EMC tools need the CAD tree; the MIP choice belongs to "EMC Tool".
    ui->ext_settings_tab->setEnabled(loaded);
    ui->without_geometry->setEnabled(false);
    ui->MIP_for_each->setEnabled(false);
    ui->signle_MIP_for_all->setEnabled(false);

    setWindowTitle(QStringLiteral("ZEL SW 2016-2024 Plugin 2024.06.14"));
}

MainWindow::~MainWindow() { delete ui; }

void MainWindow::load_cad_tree()
{
    loaded = guarded(this, tr("Unable to get a CAD tree from a CAD plugin!"), [&] {
        client->get_cad_tree(cad_tree);
        check_cad_tree(cad_tree);
    });
    if (loaded) {
        statusBar()->showMessage(tr("The CAD tree has been loaded."));
        return;
    }
    // Nothing of a broken answer may reach the views.
    cad_tree = CAD_RPC::Tree();
    close();
}

CAD_RPC::Settings MainWindow::settings_from_form() const
{
    // The quality of the facet model stays the default; its combo box is not offered.
    CAD_RPC::Settings settings = tarvik::default_settings();
    settings.save_filepath = ui->ZEL_filepath->text().toLocal8Bit().toStdString();
    settings.export_solids = ui->export_solids->isChecked();
    settings.export_curves = ui->export_curves->isChecked();
    settings.export_points = ui->export_points->isChecked();
    settings.export_MIPs = ui->export_MIPs->isChecked();
    settings.MIP_settings =
        ui->MIP_for_each->isChecked() ? CAD_RPC::MIP_Settings::MIPForEach : CAD_RPC::MIP_Settings::SingleMIPForAll;
    settings.visibility_settings = ui->all_unchanged->isChecked() ? CAD_RPC::VisibilitySettings::AllUnchanged
                                                                  : CAD_RPC::VisibilitySettings::AllAsVisible;
    settings.templates_settings = ui->simple_object_enumeration->isChecked()
                                      ? CAD_RPC::TemplatesSettings::SimpleObjectEnumeration
                                      : CAD_RPC::TemplatesSettings::SearchForTemplates;
    return settings;
}

QString MainWindow::ask_for_zel_path()
{
    return questions.save_file(this, tr("Save ZEL file"), ui->ZEL_filepath->text(), tr("ZEL Files (*.zel);;All Files (*)"));
}

void MainWindow::export_cad()
{
    guarded(this, tr("Unable to export a CAD tree!"), [&] {
        if (ui->ZEL_filepath->text().isEmpty()) {
            const QString path = ask_for_zel_path();
            if (path.isEmpty()) return;
            ui->ZEL_filepath->setText(path);
        }
        // What the export tree view shows: the CAD tree, or its EMC reshaping.
        std::unique_ptr<tarvik::ShownItem> cad_shown;
        const tarvik::ShownItem& shown = name_proxy->sourceModel() == cad_emc_proxy
                                             ? cad_emc_proxy->shown()
                                             : *(cad_shown = tarvik::shown_cad_tree(cad_tree));
        tarvik::export_shown(*client, settings_from_form(), shown);
        statusBar()->showMessage(tr("The ZEL export has been done."));
    });
}

void MainWindow::on_ZEL_filepath_button_clicked()
{
    guarded(this, tr("Unable to choose the output file!"), [&] {
        const QString path = ask_for_zel_path();
        if (!path.isEmpty()) ui->ZEL_filepath->setText(path);
    });
}

void MainWindow::highlight_selection(const QItemSelection& selected, const QItemSelection& deselected)
{
    guarded(this, tr("Unable to set highlight!"), [&] {
        std::vector<int32_t> selected_ids;
        std::vector<int32_t> deselected_ids;
        for (const QModelIndex& index : selected.indexes())
            selected_ids.push_back(index.data(CAD_TreeModel::IdRole).toInt());
        for (const QModelIndex& index : deselected.indexes())
            deselected_ids.push_back(index.data(CAD_TreeModel::IdRole).toInt());
        if (!deselected_ids.empty()) client->set_highlight_status_of_ids(deselected_ids, false);
        if (!selected_ids.empty()) client->set_highlight_status_of_ids(selected_ids, true);
        if (!selected_ids.empty() || !deselected_ids.empty()) client->refresh_display();
    });
}

// Dragging CAD nodes into the EMC tree, with the EMC tree's selection.
void MainWindow::set_cad_dragging(bool on)
{
    ui->CAD_tree_view->setDragEnabled(on);
    ui->EMC_tree_view->setSelectionMode(on ? QAbstractItemView::SingleSelection : QAbstractItemView::NoSelection);
    if (!on) {
        // Clearing the CAD selection also takes its highlights away.
        ui->CAD_tree_view->clearSelection();
        ui->EMC_tree_view->clearSelection();
    }
}

void MainWindow::on_tabwidget_currentChanged(int index)
{
    if (index == 0)
        set_cad_dragging(false);
    else if (index == 1 && ui->EMC_edit_config_groupbox->isChecked())
        set_cad_dragging(true);
}

void MainWindow::on_EMC_settings_groupbox_toggled(bool on)
{
    ui->without_geometry->setEnabled(on);
    ui->MIP_for_each->setEnabled(on);
    ui->signle_MIP_for_all->setEnabled(on);
    ui->save_button->setEnabled(on && emc->is_modified());
    if (!on) {
        name_proxy->setSourceModel(cad_tree_model);
        set_cad_dragging(false);
        return;
    }
    if (emc_proxy_stale) rebuild_emc_proxy(ui->signle_MIP_for_all->isChecked());
    name_proxy->setSourceModel(cad_emc_proxy);
    if (ui->EMC_edit_config_groupbox->isChecked()) set_cad_dragging(true);
}

void MainWindow::on_EMC_edit_config_groupbox_toggled(bool on) { set_cad_dragging(on); }

void MainWindow::apply_emc_configuration()
{
    if (ui->EMC_settings_groupbox->isChecked())
        rebuild_emc_proxy(ui->signle_MIP_for_all->isChecked());
    else
        emc_proxy_stale = true;
}

// A failure (an unknown node, the add-in gone) leaves the proxy empty.
void MainWindow::rebuild_emc_proxy(bool single_mip)
{
    emc_proxy_stale = false;
    guarded(this, QCoreApplication::translate("CAD_EMC_ProxyModel", "Unable to apply the EMC configuration!"), [&] {
        cad_emc_proxy->rebuild([&](tarvik::EmcShape& shape) {
            shape.build(cad_tree, tarvik::emc_items(emc_model->config(), emc_model->node_ids()), single_mip,
                        tarvik::size_comparison(*client));
        });
    });
}

void MainWindow::on_EMC_delete_button_clicked()
{
    const QModelIndexList selected = ui->EMC_tree_view->selectionModel()->selectedIndexes();
    if (!selected.isEmpty()) emc->remove(selected.first());
}

// The group "EMC Tool" disables its buttons while it is off; enabling the
// button then would show it alone enabled. Its state is caught up on toggling.
void MainWindow::enable_EMC_save_button() { ui->save_button->setEnabled(ui->EMC_settings_groupbox->isChecked()); }

void MainWindow::disable_EMC_save_button() { ui->save_button->setEnabled(false); }

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Closing must not lose an unsaved EMC configuration without a word.
    if (emc_files && loaded && !emc_files->maybe_save()) {
        event->ignore();
        return;
    }
    event->accept();
}

void MainWindow::set_facet_quality_menu()
{
    ui->facet_quality->clear();
    ui->facet_quality->addItem(QIcon(), tr("Coarse"), 0);
    ui->facet_quality->addItem(QIcon(), tr("Standard"), 1);
    ui->facet_quality->addItem(QIcon(), tr("Fine"), 2);
    ui->facet_quality->addItem(QIcon(), tr("Extra Fine"), 3);
}

void MainWindow::show_about()
{
    QMessageBox::about(this, tr("About Tarvik"),
                       tr("<b>Tarvik</b> %1<br>Export settings and the CAD tree for the ZEL export of the CAD plugin.")
                           .arg(QStringLiteral(TARVIK_VERSION)));
}

void MainWindow::changeEvent(QEvent* event)
{
    if (event) {
        switch (event->type()) {
        case QEvent::LocaleChange:
            languages->load(Languages::system_language());
            break;
        case QEvent::LanguageChange:
            ui->retranslateUi(this);
            // The views' headers come from the models.
            emit cad_tree_model->headerDataChanged(Qt::Horizontal, 0, 0);
            emit name_proxy->headerDataChanged(Qt::Horizontal, 0, 0);
            break;
        default:
            break;
        }
    }
    QMainWindow::changeEvent(event);
}
