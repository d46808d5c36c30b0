#include "emc_dialog.h"

#include <QSize>

#include "gui/common/node_icons.h"
#include "ui_emc_dialog.h"

int EMC_Dialog::ListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(item->children.size());
}

QVariant EMC_Dialog::ListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const EMC_TreeModel::CAD_obj* cad = item->children[static_cast<std::size_t>(index.row())].get();
    switch (role) {
    case Qt::DisplayRole: return cad->name;
    case Qt::DecorationRole: return cad_object_icon(cad->cad_type);
    case Qt::SizeHintRole: return QSize(-1, 18);
    default: return {};
    }
}

EMC_Dialog::EMC_Dialog(EMC_TreeModel::M_obj* edited, QWidget* parent)
    : QDialog(parent), ui(new Ui::EMC_Dialog), item(edited), list_model(edited)
{
    ui->setupUi(this);
    ui->subelements_listview->setModel(&list_model);
    ui->name_edit->setText(item->name);

    // Once an item holds CAD objects it may switch between solid and solidB,
    // but not to or from point. Index 1 is solidB wherever it is offered.
    auto offer = [&](const QString& text, EMC_TreeModel::M_obj_Method method) {
        ui->method_combo_box->addItem(cae_method_icon(method), text, QVariant::fromValue(method));
    };
    const bool empty = item->children.empty();
    if (empty || item->method != EMC_TreeModel::point) {
        offer(QStringLiteral("solid"), EMC_TreeModel::solid);
        offer(QStringLiteral("solidB"), EMC_TreeModel::solidB);
    }
    if (empty || item->method == EMC_TreeModel::point) offer(QStringLiteral("point"), EMC_TreeModel::point);
    ui->method_combo_box->setCurrentIndex(ui->method_combo_box->findData(QVariant::fromValue(item->method)));
    on_method_combo_box_currentIndexChanged(ui->method_combo_box->currentIndex());

    ui->min_size_spin_box->setValue(item->min_size);
    ui->comments_text_edit->setPlainText(item->comments);
}

EMC_Dialog::~EMC_Dialog() { delete ui; }

void EMC_Dialog::on_method_combo_box_currentIndexChanged(int index)
{
    ui->min_size_spin_box->setEnabled(index == 1);
}

void EMC_Dialog::apply()
{
    item->name = ui->name_edit->text();
    item->method = ui->method_combo_box->currentData().value<EMC_TreeModel::M_obj_Method>();
    item->min_size = ui->min_size_spin_box->isEnabled() ? ui->min_size_spin_box->value() : 0.0;
    item->comments = ui->comments_text_edit->toPlainText();
}
