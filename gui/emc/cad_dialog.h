#pragma once
#include <QDialog>

#include "export_client/emc_file.h"

namespace Ui {
class CAD_Dialog;
}

// The export rules of one CAD object inside a CAE item.
class CAD_Dialog : public QDialog {
    Q_OBJECT
public:
    // `object` is edited in place once accepted (apply).
    explicit CAD_Dialog(EMC::CAD_obj& object, QWidget* parent = nullptr);
    ~CAD_Dialog() override;

    // Copies the form into the object.
    void apply();

private:
    Ui::CAD_Dialog* ui;
    EMC::CAD_obj& object;
};
