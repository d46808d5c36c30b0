#pragma once
#include <QAbstractListModel>
#include <QDialog>

#include "emc_tree_model.h"

namespace Ui {
class EMC_Dialog;
}

// Name, method, minimal size and comments of one CAE item, with the CAD
// objects it holds.
class EMC_Dialog : public QDialog {
    Q_OBJECT
public:
    // The CAE item's CAD objects, read-only.
    class ListModel : public QAbstractListModel {
    public:
        explicit ListModel(EMC_TreeModel::M_obj* item, QObject* parent = nullptr)
            : QAbstractListModel(parent), item(item) {}
        int rowCount(const QModelIndex& parent = {}) const override;
        QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    private:
        EMC_TreeModel::M_obj* item;
    };

    explicit EMC_Dialog(EMC_TreeModel::M_obj* item, QWidget* parent = nullptr);
    ~EMC_Dialog() override;

    // Copies the form into the item; the model calls it once accepted.
    void apply();

private slots:
    void on_method_combo_box_currentIndexChanged(int index);

private:
    Ui::EMC_Dialog* ui;
    EMC_TreeModel::M_obj* item;
    ListModel list_model;
};
