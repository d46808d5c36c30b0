#include "cad_dialog.h"

#include "ui_cad_dialog.h"

CAD_Dialog::CAD_Dialog(EMC_TreeModel::CAD_obj* edited, QWidget* parent)
    : QDialog(parent), ui(new Ui::CAD_Dialog), item(edited)
{
    ui->setupUi(this);
    ui->id_text_edit->setText(item->persistent_id);
    ui->name_text_edit->setText(item->name);
    ui->include_check_box->setChecked(item->include);
    ui->geom_check_box->setChecked(item->geom);
}

CAD_Dialog::~CAD_Dialog() { delete ui; }

void CAD_Dialog::apply()
{
    item->persistent_id = ui->id_text_edit->text();
    item->name = ui->name_text_edit->text();
    item->include = ui->include_check_box->isChecked();
    item->geom = ui->geom_check_box->isChecked();
}
