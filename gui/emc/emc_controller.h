#pragma once
#include <functional>

#include <QObject>
#include <QString>

#include "CAD_RPC_Service.h"

class EMC_TreeModel;
class QDialog;
class QModelIndex;

// What the EMC tools do with the configuration: its item dialogs, the
// persistent ids the add-in gives dropped CAD nodes, loading (the objects
// found again in this CAD session) and saving. Failures are shown in the
// error box; the model only holds the configuration.
class EMC_Controller : public QObject {
    Q_OBJECT
public:
    EMC_Controller(EMC_TreeModel* model, const CAD_RPC::Tree* tree, CAD_RPC::CAD_RPC_ServiceClient* client,
                   QObject* parent = nullptr);

    // How the item dialogs are shown: modal by default; tests answer them.
    using DialogRunner = std::function<bool(QDialog& dialog)>;
    void set_dialog_runner(DialogRunner runner) { run_dialog = std::move(runner); }

    bool is_modified() const { return modified; }
    bool load(const QString& path);
    bool save(const QString& path);

public slots:
    void add_item();
    void edit(const QModelIndex& index);
    void remove(const QModelIndex& index);
    void clear();

signals:
    void modified_changed(bool modified);

private:
    void add_dropped(int item_row, const std::vector<int32_t>& node_ids);
    void set_modified(bool on);

    EMC_TreeModel* model;
    const CAD_RPC::Tree* tree;
    CAD_RPC::CAD_RPC_ServiceClient* client;
    DialogRunner run_dialog;
    bool modified = false;
    bool loading = false;
};
