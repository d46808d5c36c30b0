#pragma once
#include <functional>
#include <string>

#include <QItemSelection>
#include <QMainWindow>

#include "CAD_RPC_Service.h"
#include "gui/emc/emc_files.h"

namespace Ui {
class MainWindow;
}
class CAD_TreeModel;
class NameCorrectionProxyModel;
class EMC_TreeModel;
class EMC_Controller;
class CAD_EMC_ProxyModel;
class Languages;
class QAction;

// The program's only window: the CAD tree on the left, the export settings
// in the middle, the tree as it will be exported on the right.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // `client` is not owned and must outlive the window; `initial_path` is
    // 8-bit text (possibly empty) for the output file field.
    MainWindow(CAD_RPC::CAD_RPC_ServiceClient* client, const std::string& initial_path, QWidget* parent = nullptr);
    ~MainWindow() override;

    // False when the CAD tree could not be fetched; the window is then not to be shown.
    bool tree_loaded() const { return loaded; }

    // The save-file question of "Export", "Browse..." and the EMC tools.
    void set_save_file_dialog(FileQuestions::FileDialog dialog) { questions.save_file = std::move(dialog); }
    // The open-file question of the EMC tools.
    void set_open_file_dialog(FileQuestions::FileDialog dialog) { questions.open_file = std::move(dialog); }
    // The Save / Discard / Cancel question about an unsaved EMC configuration.
    void set_save_changes_question(std::function<int(QWidget*)> question) { questions.save_changes = std::move(question); }

    CAD_RPC::Settings settings_from_form() const;
    CAD_TreeModel* get_cad_tree_model() const { return cad_tree_model; }
    NameCorrectionProxyModel* get_name_proxy() const { return name_proxy; }
    EMC_TreeModel* get_emc_model() const { return emc_model; }
    EMC_Controller* get_emc() const { return emc; }
    CAD_EMC_ProxyModel* get_cad_emc_proxy() const { return cad_emc_proxy; }

public slots:
    void set_facet_quality_menu();
    void export_cad();
    void on_tabwidget_currentChanged(int index);
    void on_ZEL_filepath_button_clicked();
    void on_EMC_settings_groupbox_toggled(bool on);
    void on_EMC_edit_config_groupbox_toggled(bool on);
    void on_EMC_delete_button_clicked();
    void enable_EMC_save_button();
    void disable_EMC_save_button();
    void highlight_selection(const QItemSelection& selected, const QItemSelection& deselected);

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void load_cad_tree();
    void show_about();
    QString ask_for_zel_path();
    void set_cad_dragging(bool on);
    void apply_emc_configuration();
    void rebuild_emc_proxy(bool single_mip);

    Ui::MainWindow* ui;
    CAD_RPC::Tree cad_tree;
    CAD_RPC::CAD_RPC_ServiceClient* client;
    CAD_TreeModel* cad_tree_model;
    EMC_TreeModel* emc_model = nullptr;
    EMC_Controller* emc = nullptr;
    CAD_EMC_ProxyModel* cad_emc_proxy = nullptr;
    NameCorrectionProxyModel* name_proxy;
    Languages* languages = nullptr;
    FileQuestions questions = standard_file_questions();
    EmcFiles* emc_files = nullptr;

    bool loaded = false;
    // The EMC model changed since the proxy was last built (or it never was).
    bool emc_proxy_stale = true;
};
