#include "emc_tree_model.h"

#include <unordered_map>

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <QSize>

#include "gui/common/node_icons.h"

namespace {

// An index's internal id: 0 for a CAE item, else its item's row + 1.
quintptr owner_of(const QModelIndex& index) { return index.internalId(); }

}  // namespace

EMC_TreeModel::EMC_TreeModel(QObject* parent) : QAbstractItemModel(parent) {}

EMC_TreeModel::CAD_Type EMC_TreeModel::cad_type_of(int32_t node_id) const
{
    if (node_id < 0 || !tree) return CAD_NotFound;
    const auto found = tree->nodes.find(node_id);
    if (found == tree->nodes.end()) return CAD_NotFound;
    switch (found->second.type) {
    case CAD_RPC::NodeType::Structure: return CAD_Structure;
    case CAD_RPC::NodeType::Solid: return CAD_Solid;
    default: return CAD_Other;
    }
}

void EMC_TreeModel::set_config(EMC::Config config, std::vector<std::vector<int32_t>> node_ids)
{
    node_ids.resize(config.objects.size());
    for (std::size_t i = 0; i < config.objects.size(); ++i) node_ids[i].resize(config.objects[i].cad_objects.size(), -1);
    beginResetModel();
    configuration = std::move(config);
    ids = std::move(node_ids);
    endResetModel();
    emit changed();
}

void EMC_TreeModel::add_item(EMC::M_obj item)
{
    item.cad_objects.clear();
    const int row = rowCount();
    beginInsertRows({}, row, row);
    configuration.objects.push_back(std::move(item));
    ids.emplace_back();
    endInsertRows();
    emit changed();
}

void EMC_TreeModel::set_item(int row, const EMC::M_obj& fields)
{
    EMC::M_obj& item = configuration.objects.at(static_cast<std::size_t>(row));
    item.name = fields.name;
    item.method = fields.method;
    item.size_min = fields.size_min;
    item.comment = fields.comment;
    emit dataChanged(index(row, 0), index(row, 0));
    emit changed();
}

void EMC_TreeModel::add_objects(int row, const std::vector<EMC::CAD_obj>& objects, const std::vector<int32_t>& node_ids)
{
    auto& item = configuration.objects.at(static_cast<std::size_t>(row));
    const int first = static_cast<int>(item.cad_objects.size());
    beginInsertRows(index(row, 0), first, first + static_cast<int>(objects.size()) - 1);
    item.cad_objects.insert(item.cad_objects.end(), objects.begin(), objects.end());
    auto& item_ids = ids[static_cast<std::size_t>(row)];
    item_ids.insert(item_ids.end(), node_ids.begin(), node_ids.end());
    item_ids.resize(item.cad_objects.size(), -1);
    endInsertRows();
    emit changed();
}

void EMC_TreeModel::set_object(int row, int object, const EMC::CAD_obj& value)
{
    configuration.objects.at(static_cast<std::size_t>(row)).cad_objects.at(static_cast<std::size_t>(object)) = value;
    const QModelIndex changed_index = index(object, 0, index(row, 0));
    emit dataChanged(changed_index, changed_index);
    emit changed();
}

void EMC_TreeModel::remove(const QModelIndex& at)
{
    if (!at.isValid() || at.model() != this) return;
    if (const quintptr owner = owner_of(at)) {
        const auto row = static_cast<std::size_t>(owner - 1);
        beginRemoveRows(at.parent(), at.row(), at.row());
        auto& objects = configuration.objects[row].cad_objects;
        objects.erase(objects.begin() + at.row());
        ids[row].erase(ids[row].begin() + at.row());
    } else {
        beginRemoveRows({}, at.row(), at.row());
        configuration.objects.erase(configuration.objects.begin() + at.row());
        ids.erase(ids.begin() + at.row());
    }
    endRemoveRows();
    emit changed();
}

void EMC_TreeModel::clear()
{
    beginResetModel();
    configuration.objects.clear();
    ids.clear();
    endResetModel();
    emit changed();
}

int EMC_TreeModel::item_row(const QModelIndex& at) const
{
    if (!at.isValid() || at.model() != this) return -1;
    const quintptr owner = owner_of(at);
    return owner ? static_cast<int>(owner - 1) : at.row();
}

QModelIndex EMC_TreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent)) return {};
    return createIndex(row, column, parent.isValid() ? static_cast<quintptr>(parent.row() + 1) : quintptr(0));
}

QModelIndex EMC_TreeModel::parent(const QModelIndex& child) const
{
    const quintptr owner = child.isValid() ? owner_of(child) : 0;
    return owner ? createIndex(static_cast<int>(owner - 1), 0, quintptr(0)) : QModelIndex();
}

int EMC_TreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0) return 0;
    if (!parent.isValid()) return static_cast<int>(configuration.objects.size());
    if (owner_of(parent)) return 0;
    return static_cast<int>(configuration.objects[static_cast<std::size_t>(parent.row())].cad_objects.size());
}

int EMC_TreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant EMC_TreeModel::data(const QModelIndex& at, int role) const
{
    if (!at.isValid()) return {};
    if (const quintptr owner = owner_of(at)) {
        const auto row = static_cast<std::size_t>(owner - 1), k = static_cast<std::size_t>(at.row());
        const EMC::CAD_obj& c = configuration.objects[row].cad_objects[k];
        const int32_t node_id = ids[row][k];
        switch (role) {
        case Qt::DisplayRole: return QString::fromStdString(c.name);
        case Qt::DecorationRole: return cad_object_icon(cad_type_of(node_id));
        case Qt::ToolTipRole:
            return cad_type_of(node_id) == CAD_NotFound ? QVariant(tr("Not found in the CAD model")) : QVariant();
        case Qt::SizeHintRole: return QSize(-1, 18);
        case NodeIdRole: return node_id;
        case IncludeRole: return c.include.value_or(true);
        case GeomRole: return c.geom.value_or(false);
        default: return {};
        }
    }
    const EMC::M_obj& m = configuration.objects[static_cast<std::size_t>(at.row())];
    switch (role) {
    case Qt::DisplayRole:
    case M_NameRole: return QString::fromStdString(m.name);
    case Qt::DecorationRole: return cae_method_icon(m.method);
    case Qt::ToolTipRole: return m.comment && !m.comment->empty() ? QVariant(QString::fromStdString(*m.comment)) : QVariant();
    case Qt::SizeHintRole: return QSize(-1, 18);
    case MethodRole: return m.method;
    case MinSizeRole: return m.size_min.value_or(0.0);
    default: return {};
    }
}

QVariant EMC_TreeModel::headerData(int, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) return tr("EMC Tree");
    return {};
}

Qt::ItemFlags EMC_TreeModel::flags(const QModelIndex& at) const
{
    // Drops land on items; between top-level rows nothing is accepted.
    if (!at.isValid()) return Qt::NoItemFlags;
    return QAbstractItemModel::flags(at) | Qt::ItemIsDropEnabled;
}

QStringList EMC_TreeModel::mimeTypes() const { return {QString::fromLatin1(tarvik::kCadNodesMimeType)}; }

Qt::DropActions EMC_TreeModel::supportedDropActions() const { return Qt::CopyAction | Qt::MoveAction; }

std::vector<int32_t> EMC_TreeModel::dropped_nodes(const QMimeData* data) const
{
    if (!tree || !data || !data->hasFormat(QString::fromLatin1(tarvik::kCadNodesMimeType))) return {};
    const QByteArray payload = data->data(QString::fromLatin1(tarvik::kCadNodesMimeType));
    if (payload.isEmpty() || payload.size() % 8 != 0) return {};
    // The addresses are only compared with this tree's own nodes, never
    // followed: a payload from elsewhere names nothing and is refused.
    std::unordered_map<quint64, int32_t> known;
    known.reserve(tree->nodes.size());
    for (const auto& [id, node] : tree->nodes) known.emplace(reinterpret_cast<quintptr>(&node), id);
    std::vector<int32_t> nodes;
    QDataStream in(payload);
    while (!in.atEnd()) {
        qint64 address = 0;
        in >> address;
        const auto found = known.find(static_cast<quint64>(address));
        if (found == known.end()) return {};
        nodes.push_back(found->second);
    }
    return nodes;
}

bool EMC_TreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int, const QModelIndex& parent) const
{
    return item_row(parent) >= 0 && !dropped_nodes(data).empty();
}

bool EMC_TreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int, int, const QModelIndex& parent)
{
    if (action == Qt::IgnoreAction) return true;
    const int row = item_row(parent);
    const std::vector<int32_t> nodes = dropped_nodes(data);
    if (row < 0 || nodes.empty()) return false;
    emit cad_nodes_dropped(row, nodes);
    return true;
}
