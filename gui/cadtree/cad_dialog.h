#pragma once
#include <QDialog>

#include "gui/emc/emc_tree_model.h"

namespace Ui {
class CAD_Dialog;
}

// The export rules of one CAD object inside a CAE item.
class CAD_Dialog : public QDialog {
    Q_OBJECT
public:
    explicit CAD_Dialog(EMC_TreeModel::CAD_obj* item, QWidget* parent = nullptr);
    ~CAD_Dialog() override;

    // Copies the form into the item; the model calls it once accepted.
    void apply();

private:
    Ui::CAD_Dialog* ui;
    EMC_TreeModel::CAD_obj* item;
};
