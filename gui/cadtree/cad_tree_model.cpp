#include "cad_tree_model.h"

#include <QDataStream>
#include <QIcon>
#include <QIODevice>
#include <QMimeData>
#include <QSize>

#include "gui/common/node_icons.h"

namespace {

const CAD_RPC::Node* node_of(const QModelIndex& index)
{
    return static_cast<const CAD_RPC::Node*>(index.internalPointer());
}

}  // namespace

CAD_TreeModel::CAD_TreeModel(QObject* parent) : QAbstractItemModel(parent)
{
    qRegisterMetaType<CAD_RPC::Node*>("CAD_RPC::Node*");
}

void CAD_TreeModel::set_tree(CAD_RPC::Tree* t)
{
    tree = t;
    by_id.clear();
    if (!tree || tree->nodes.empty()) return;
    const int32_t lowest = tree->nodes.begin()->first, highest = tree->nodes.rbegin()->first;
    if (lowest < 0 || static_cast<std::size_t>(highest) >= 2 * tree->nodes.size() + 16) return;
    by_id.assign(static_cast<std::size_t>(highest) + 1, Entry{});
    // One pass: each node, and the first place of each id in a list (as a
    // search of the list finds it).
    for (const auto& [id, node] : tree->nodes) {
        by_id[static_cast<std::size_t>(id)].node = &node;
        for (std::size_t i = 0; i < node.children_ids.size(); ++i) {
            const int32_t child = node.children_ids[i];
            if (child >= 0 && static_cast<std::size_t>(child) < by_id.size() && by_id[static_cast<std::size_t>(child)].row < 0)
                by_id[static_cast<std::size_t>(child)].row = static_cast<int>(i);
        }
    }
}

// Lookups answer null instead of throwing: a view calls them from paint and
// event handlers, where an exception must not arrive. The tree is checked
// when it is received (check_cad_tree), so null means a tree nobody showed.
const CAD_RPC::Node* CAD_TreeModel::node_at(int32_t id) const
{
    if (!tree) return nullptr;
    if (!by_id.empty())
        return id >= 0 && static_cast<std::size_t>(id) < by_id.size() ? by_id[static_cast<std::size_t>(id)].node : nullptr;
    auto it = tree->nodes.find(id);
    return it == tree->nodes.end() ? nullptr : &it->second;
}

const CAD_RPC::Node* CAD_TreeModel::root() const { return tree ? node_at(tree->root_id) : nullptr; }

QModelIndex CAD_TreeModel::index_of(const CAD_RPC::Node* node, int row) const
{
    return node ? createIndex(row, 0, const_cast<CAD_RPC::Node*>(node)) : QModelIndex();
}

QModelIndex CAD_TreeModel::index(int row, int column, const QModelIndex& parent) const
{
    // hasIndex() without its two virtual calls: a view asks this for every row.
    if (column != 0 || row < 0 || parent.column() > 0) return {};
    const CAD_RPC::Node* owner = parent.isValid() ? node_of(parent) : root();
    if (!owner || static_cast<std::size_t>(row) >= owner->children_ids.size()) return {};
    return index_of(node_at(owner->children_ids[static_cast<std::size_t>(row)]), row);
}

QModelIndex CAD_TreeModel::parent(const QModelIndex& index) const
{
    if (!index.isValid() || !tree) return {};
    const CAD_RPC::Node* node = node_of(index);
    if (node->parent_id == tree->root_id) return {};
    const CAD_RPC::Node* up = node_at(node->parent_id);
    if (!up) return {};
    const CAD_RPC::Node* grand = node_at(up->parent_id);
    if (!grand) return {};
    const auto& ids = grand->children_ids;
    if (!by_id.empty()) {
        const int row = by_id[static_cast<std::size_t>(up->id)].row;
        if (row >= 0 && static_cast<std::size_t>(row) < ids.size() && ids[static_cast<std::size_t>(row)] == up->id)
            return index_of(up, row);
    }
    for (std::size_t i = 0; i < ids.size(); ++i)
        if (ids[i] == up->id) return index_of(up, static_cast<int>(i));
    return {};
}

QModelIndex CAD_TreeModel::sibling(int row, int, const QModelIndex& index) const
{
    if (!index.isValid() || !tree || row < 0) return {};
    const CAD_RPC::Node* node = node_of(index);
    const CAD_RPC::Node* owner = node->parent_id == tree->root_id ? root() : node_at(node->parent_id);
    if (!owner || static_cast<std::size_t>(row) >= owner->children_ids.size()) return {};
    return index_of(node_at(owner->children_ids[static_cast<std::size_t>(row)]), row);
}

int CAD_TreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0) return 0;
    const CAD_RPC::Node* owner = parent.isValid() ? node_of(parent) : root();
    return owner ? static_cast<int>(owner->children_ids.size()) : 0;
}

int CAD_TreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant CAD_TreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.column() < 0 || index.model() != this) return {};
    return node_data(*node_of(index), role);
}

QVariant CAD_TreeModel::node_data(const CAD_RPC::Node& node, int role)
{
    switch (role) {
    case Qt::DisplayRole:
    case NameRole:
        return QString::fromStdString(node.name);
    case Qt::DecorationRole: {
        const QIcon* icon = node_type_icon(node.type);
        return icon ? QVariant(*icon) : QVariant();
    }
    case Qt::SizeHintRole: return QSize(-1, 18);
    case TypeRole: return static_cast<int>(node.type);
    case IdRole: return node.id;
    case ParentIdRole: return node.parent_id;
    case VisibleRole: return node.is_visible;
    case NodeAddressRole: return QVariant::fromValue(static_cast<qulonglong>(reinterpret_cast<quintptr>(&node)));
    default: return {};
    }
}

QVariant CAD_TreeModel::headerData(int, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) return tr("CAD Tree");
    return {};
}

Qt::ItemFlags CAD_TreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    const Qt::ItemFlags base = QAbstractItemModel::flags(index);
    const auto type = node_of(index)->type;
    if (type == CAD_RPC::NodeType::ElementMIP || type == CAD_RPC::NodeType::Curve) return base;
    return base | Qt::ItemIsDragEnabled;
}

QStringList CAD_TreeModel::mimeTypes() const { return {QString::fromLatin1(kMimeType)}; }

QMimeData* CAD_TreeModel::mimeData(const QModelIndexList& indexes) const
{
    QByteArray payload;
    QDataStream stream(&payload, QIODevice::WriteOnly);
    for (const QModelIndex& index : indexes)
        if (index.isValid()) stream << static_cast<qint64>(reinterpret_cast<quintptr>(node_of(index)));
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kMimeType), payload);
    return mime;
}

Qt::DropActions CAD_TreeModel::supportedDropActions() const { return Qt::IgnoreAction; }

Qt::DropActions CAD_TreeModel::supportedDragActions() const { return Qt::CopyAction; }
