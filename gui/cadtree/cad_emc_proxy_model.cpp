#include "cad_emc_proxy_model.h"

#include <algorithm>
#include <exception>

#include <QSize>

#include "cad_tree_model.h"
#include "gui/common/node_icons.h"

CAD_EMC_ProxyModel::CAD_EMC_ProxyModel(QObject* parent) : QAbstractItemModel(parent)
{
    qRegisterMetaType<CAD_RPC::Node*>("CAD_RPC::Node*");
}

void CAD_EMC_ProxyModel::rebuild(const std::function<void(tarvik::EmcShape&)>& build)
{
    beginResetModel();
    shape.clear();
    std::exception_ptr failure;
    try {
        build(shape);
    } catch (...) {
        shape.clear();
        failure = std::current_exception();
    }
    endResetModel();
    if (failure) std::rethrow_exception(failure);
}

const tarvik::ShownItem* CAD_EMC_ProxyModel::item_of(const QModelIndex& index)
{
    return static_cast<const tarvik::ShownItem*>(index.internalPointer());
}

QModelIndex CAD_EMC_ProxyModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent)) return {};
    const tarvik::ShownItem* owner = parent.isValid() ? item_of(parent) : &shape.root();
    return createIndex(row, column, owner->children[static_cast<std::size_t>(row)].get());
}

QModelIndex CAD_EMC_ProxyModel::parent(const QModelIndex& index) const
{
    if (!index.isValid()) return {};
    const tarvik::ShownItem* up = item_of(index)->parent;
    if (!up || up == &shape.root()) return {};
    const auto& siblings = up->parent->children;
    const auto at = std::find_if(siblings.begin(), siblings.end(), [up](const auto& s) { return s.get() == up; });
    return createIndex(static_cast<int>(at - siblings.begin()), 0, up);
}

int CAD_EMC_ProxyModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0) return 0;
    const tarvik::ShownItem* owner = parent.isValid() ? item_of(parent) : &shape.root();
    return static_cast<int>(owner->children.size());
}

int CAD_EMC_ProxyModel::columnCount(const QModelIndex&) const { return 1; }

QVariant CAD_EMC_ProxyModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) return {};
    const tarvik::ShownItem* item = item_of(index);
    const CAD_RPC::Node* node = item->node;
    switch (role) {
    case Qt::DisplayRole:
    case CAD_TreeModel::NameRole: return QString::fromStdString(node->name);
    case Qt::DecorationRole: {
        const QIcon* icon = node_type_icon(node->type);
        return icon ? QVariant(*icon) : QVariant();
    }
    case Qt::SizeHintRole: return QSize(-1, 18);
    // The views only read it; the registered type is the CAD tree model's.
    case Qt::UserRole: return QVariant::fromValue(const_cast<CAD_RPC::Node*>(node));
    case CAD_TreeModel::TypeRole: return static_cast<int>(node->type);
    case CAD_TreeModel::IdRole: return node->id;
    case CAD_TreeModel::ParentIdRole: return node->parent_id;
    case CAD_TreeModel::VisibleRole: return node->is_visible;
    // The row's own address: one CAD node may be shown under two CAE items
    // with different children, and the name cache keys on this.
    case CAD_TreeModel::NodeAddressRole:
        return QVariant::fromValue(static_cast<qulonglong>(reinterpret_cast<quintptr>(item)));
    default: return {};
    }
}

QVariant CAD_EMC_ProxyModel::headerData(int, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) return tr("CAD Tree");
    return {};
}

Qt::ItemFlags CAD_EMC_ProxyModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? QAbstractItemModel::flags(index) : Qt::NoItemFlags;
}
