#include "emc_dialog.h"

#include <QSize>

#include "gui/common/node_icons.h"
#include "ui_emc_dialog.h"

int EMC_Dialog::ListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(item.cad_objects.size());
}

QVariant EMC_Dialog::ListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const auto row = static_cast<std::size_t>(index.row());
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(item.cad_objects[row].name);
    case Qt::DecorationRole: return cad_object_icon(row < cad_types.size() ? cad_types[row] : 3);
    case Qt::SizeHintRole: return QSize(-1, 18);
    default: return {};
    }
}

EMC_Dialog::EMC_Dialog(EMC::M_obj& edited, std::vector<int> cad_types, QWidget* parent)
    : QDialog(parent), ui(new Ui::EMC_Dialog), item(edited), list_model(edited, std::move(cad_types))
{
    ui->setupUi(this);
    ui->subelements_listview->setModel(&list_model);
    ui->name_edit->setText(QString::fromStdString(item.name));
    // Once an item holds CAD objects it may switch between solid and solidB,
    // but not to or from point. Index 1 is solidB wherever it is offered.
    auto offer = [&](const QString& text, int method) { ui->method_combo_box->addItem(cae_method_icon(method), text, method); };
    const bool empty = item.cad_objects.empty();
    if (empty || item.method != EMC::M_obj::point) {
        offer(QStringLiteral("solid"), EMC::M_obj::solid);
        offer(QStringLiteral("solidB"), EMC::M_obj::solidB);
    }
    if (empty || item.method == EMC::M_obj::point) offer(QStringLiteral("point"), EMC::M_obj::point);
    ui->method_combo_box->setCurrentIndex(ui->method_combo_box->findData(item.method));
    on_method_combo_box_currentIndexChanged(ui->method_combo_box->currentIndex());
    ui->min_size_spin_box->setValue(item.size_min.value_or(0.0));
    ui->comments_text_edit->setPlainText(QString::fromStdString(item.comment.value_or(std::string())));
}

EMC_Dialog::~EMC_Dialog() { delete ui; }

void EMC_Dialog::on_method_combo_box_currentIndexChanged(int index) { ui->min_size_spin_box->setEnabled(index == 1); }

void EMC_Dialog::apply()
{
    item.name = ui->name_edit->text().toStdString();
    item.method = ui->method_combo_box->currentData().toInt();
    // The size belongs to solidB alone; the file stores none for the others.
    item.size_min = item.method == EMC::M_obj::solidB ? std::optional<double>(ui->min_size_spin_box->value()) : std::nullopt;
    const QString comments = ui->comments_text_edit->toPlainText();
    item.comment = comments.isEmpty() ? std::nullopt : std::optional<std::string>(comments.toStdString());
}
