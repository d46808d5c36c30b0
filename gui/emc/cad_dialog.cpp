#include "cad_dialog.h"

#include "ui_cad_dialog.h"

CAD_Dialog::CAD_Dialog(EMC::CAD_obj& edited, QWidget* parent) : QDialog(parent), ui(new Ui::CAD_Dialog), object(edited)
{
    ui->setupUi(this);
    ui->id_text_edit->setText(QString::fromStdString(object.id));
    ui->name_text_edit->setText(QString::fromStdString(object.name));
    ui->include_check_box->setChecked(object.include.value_or(true));
    ui->geom_check_box->setChecked(object.geom.value_or(false));
}

CAD_Dialog::~CAD_Dialog() { delete ui; }

void CAD_Dialog::apply()
{
    object.id = ui->id_text_edit->text().toStdString();
    object.name = ui->name_text_edit->text().toStdString();
    // Stored only where they differ from what a file without them means.
    object.include = ui->include_check_box->isChecked() ? std::nullopt : std::optional<bool>(false);
    object.geom = ui->geom_check_box->isChecked() ? std::optional<bool>(true) : std::nullopt;
}
