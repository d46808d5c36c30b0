#pragma once
#include <vector>

#include <QAbstractListModel>
#include <QDialog>

#include "export_client/emc_file.h"

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
        ListModel(const EMC::M_obj& item, std::vector<int> cad_types, QObject* parent = nullptr)
            : QAbstractListModel(parent), item(item), cad_types(std::move(cad_types))
        {
        }
        int rowCount(const QModelIndex& parent = {}) const override;
        QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    private:
        const EMC::M_obj& item;
        std::vector<int> cad_types;  // EMC_TreeModel::CAD_Type of each object
    };

    // `item` is edited in place once accepted (apply); `cad_types` gives
    // each of its CAD objects' kind for its icon.
    EMC_Dialog(EMC::M_obj& item, std::vector<int> cad_types, QWidget* parent = nullptr);
    ~EMC_Dialog() override;

    // Copies the form into the item.
    void apply();

private slots:
    void on_method_combo_box_currentIndexChanged(int index);

private:
    Ui::EMC_Dialog* ui;
    EMC::M_obj& item;
    ListModel list_model;
};
