#include "emc_tree_model.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include <QApplication>
#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <QSize>

#include "emc_dialog.h"
#include "gui/tarvik_export/export_client.h"
#include "gui/tarvik_export/emc_file.h"
#include "gui/cadtree/cad_dialog.h"
#include "gui/cadtree/cad_tree_model.h"
#include "gui/common/error_reporter.h"
#include "gui/common/node_icons.h"

EMC_TreeModel::TreeItem* EMC_TreeModel::CAD_obj::parent() const { return owner; }

EMC_TreeModel::CAD_obj* EMC_TreeModel::M_obj::add_child()
{
    children.push_back(std::make_unique<CAD_obj>(this));
    return children.back().get();
}

EMC_TreeModel::CAD_Type EMC_TreeModel::cad_type_of(CAD_RPC::NodeType::type node_type)
{
    switch (node_type) {
    case CAD_RPC::NodeType::Structure: return CAD_Structure;
    case CAD_RPC::NodeType::Solid: return CAD_Solid;
    default: return CAD_Other;
    }
}

EMC_TreeModel::EMC_TreeModel(QObject* parent)
    : QAbstractItemModel(parent), run_dialog([](QDialog& dialog) { return dialog.exec() == QDialog::Accepted; })
{
    qRegisterMetaType<M_obj_Method>("EMC_TreeModel::M_obj_Method");
}

EMC_TreeModel::~EMC_TreeModel() = default;

int EMC_TreeModel::row_of(const M_obj* item) const
{
    const auto it = std::find_if(items.begin(), items.end(), [item](const auto& i) { return i.get() == item; });
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

EMC_TreeModel::TreeItem* EMC_TreeModel::item_of(const QModelIndex& index)
{
    return static_cast<TreeItem*>(index.internalPointer());
}

void EMC_TreeModel::changed()
{
    modified = true;
    emit model_data_changed();
}

QModelIndex EMC_TreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent)) return {};
    if (!parent.isValid()) return createIndex(row, column, items[static_cast<std::size_t>(row)].get());
    auto* owner = static_cast<M_obj*>(item_of(parent));
    return createIndex(row, column, owner->children[static_cast<std::size_t>(row)].get());
}

QModelIndex EMC_TreeModel::parent(const QModelIndex& index) const
{
    if (!index.isValid()) return {};
    TreeItem* item = item_of(index);
    if (item->kind != CAD_Object) return {};
    M_obj* owner = static_cast<CAD_obj*>(item)->owner;
    const int row = row_of(owner);
    return row < 0 ? QModelIndex() : createIndex(row, 0, owner);
}

int EMC_TreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0) return 0;
    if (!parent.isValid()) return static_cast<int>(items.size());
    TreeItem* item = item_of(parent);
    return item->kind == CAE_Item ? static_cast<int>(static_cast<M_obj*>(item)->children.size()) : 0;
}

int EMC_TreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant EMC_TreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) return {};
    const TreeItem* item = item_of(index);
    if (item->kind == CAE_Item) {
        const auto* m = static_cast<const M_obj*>(item);
        switch (role) {
        case Qt::DisplayRole:
        case M_NameRole: return m->name;
        case Qt::DecorationRole: return cae_method_icon(m->method);
        case Qt::ToolTipRole: return m->comments.isEmpty() ? QVariant() : QVariant(m->comments);
        case Qt::SizeHintRole: return QSize(-1, 18);
        case MethodRole: return QVariant::fromValue(m->method);
        case MinSizeRole: return m->min_size;
        default: return {};
        }
    }
    const auto* c = static_cast<const CAD_obj*>(item);
    switch (role) {
    case Qt::DisplayRole: return c->name;
    case Qt::DecorationRole: return cad_object_icon(c->cad_type);
    case Qt::ToolTipRole: return c->cad_type == CAD_NotFound ? QVariant(tr("Not found in the CAD model")) : QVariant();
    case Qt::SizeHintRole: return QSize(-1, 18);
    case NodeIdRole: return c->node_id;
    case IncludeRole: return c->include;
    case GeomRole: return c->geom;
    default: return {};
    }
}

QVariant EMC_TreeModel::headerData(int, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) return tr("EMC Tree");
    return {};
}

Qt::ItemFlags EMC_TreeModel::flags(const QModelIndex& index) const
{
    // Drops land on items; between top-level rows nothing is accepted.
    if (!index.isValid()) return Qt::NoItemFlags;
    return QAbstractItemModel::flags(index) | Qt::ItemIsDropEnabled;
}

QStringList EMC_TreeModel::mimeTypes() const { return {QString::fromLatin1(CAD_TreeModel::kMimeType)}; }

Qt::DropActions EMC_TreeModel::supportedDropActions() const { return Qt::CopyAction | Qt::MoveAction; }

EMC_TreeModel::M_obj* EMC_TreeModel::drop_target(const QModelIndex& parent) const
{
    if (!parent.isValid() || parent.model() != this) return nullptr;
    TreeItem* item = item_of(parent);
    return item->kind == CAE_Item ? static_cast<M_obj*>(item) : static_cast<CAD_obj*>(item)->owner;
}

std::vector<const CAD_RPC::Node*> EMC_TreeModel::dropped_nodes(const QMimeData* data) const
{
    if (!tree || !data || !data->hasFormat(QString::fromLatin1(CAD_TreeModel::kMimeType))) return {};
    const QByteArray payload = data->data(QString::fromLatin1(CAD_TreeModel::kMimeType));
    if (payload.isEmpty() || payload.size() % 8 != 0) return {};
    std::vector<quint64> addresses;
    QDataStream in(payload);
    while (!in.atEnd()) {
        qint64 address = 0;
        in >> address;
        addresses.push_back(static_cast<quint64>(address));
    }
    // The addresses are only compared with this tree's own nodes, never
    // followed: a payload from elsewhere names nothing and is refused.
    std::unordered_map<quint64, const CAD_RPC::Node*> known;
    known.reserve(tree->nodes.size());
    for (const auto& [id, node] : tree->nodes) known.emplace(reinterpret_cast<quintptr>(&node), &node);
    std::vector<const CAD_RPC::Node*> nodes;
    for (quint64 address : addresses) {
        auto it = known.find(address);
        if (it == known.end()) return {};
        nodes.push_back(it->second);
    }
    return nodes;
}

bool EMC_TreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int, const QModelIndex& parent) const
{
    return drop_target(parent) && !dropped_nodes(data).empty();
}

bool EMC_TreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int, int, const QModelIndex& parent)
{
    if (action == Qt::IgnoreAction) return true;
    M_obj* target = drop_target(parent);
    const std::vector<const CAD_RPC::Node*> nodes = dropped_nodes(data);
    if (!target || nodes.empty() || !client) return false;

    std::vector<std::string> persistent_ids;
    const bool asked = guarded(nullptr, tr("Unable to add the CAD objects!"), [&] {
        std::vector<int32_t> ids;
        for (const CAD_RPC::Node* node : nodes) ids.push_back(node->id);
        client->get_persistent_ids(persistent_ids, ids);
        if (persistent_ids.size() != ids.size()) throw std::runtime_error("The CAD plugin answered with a wrong number of ids.");
    });
    if (!asked) return false;

    const QModelIndex owner_index = createIndex(row_of(target), 0, target);
    const int first = static_cast<int>(target->children.size());
    beginInsertRows(owner_index, first, first + static_cast<int>(nodes.size()) - 1);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        CAD_obj* cad = target->add_child();
        cad->name = QString::fromStdString(nodes[i]->name);
        cad->node_id = nodes[i]->id;
        cad->persistent_id = QString::fromStdString(persistent_ids[i]);
        cad->cad_type = cad_type_of(nodes[i]->type);
    }
    endInsertRows();
    changed();
    return true;
}

void EMC_TreeModel::add_M_obj()
{
    auto item = std::make_unique<M_obj>();
    item->name = tr("New CAE item");
    {
        EMC_Dialog dialog(item.get(), QApplication::activeWindow());
        if (!run_dialog(dialog)) return;
        dialog.apply();
    }
    const int row = static_cast<int>(items.size());
    beginInsertRows({}, row, row);
    items.push_back(std::move(item));
    endInsertRows();
    changed();
}

void EMC_TreeModel::clear()
{
    beginResetModel();
    items.clear();
    endResetModel();
    changed();
}

void EMC_TreeModel::remove_item(const QModelIndex& index)
{
    if (!index.isValid() || index.model() != this) return;
    TreeItem* item = item_of(index);
    if (item->kind == CAD_Object) {
        auto& siblings = static_cast<CAD_obj*>(item)->owner->children;
        beginRemoveRows(index.parent(), index.row(), index.row());
        siblings.erase(siblings.begin() + index.row());
    } else {
        beginRemoveRows({}, index.row(), index.row());
        items.erase(items.begin() + index.row());
    }
    endRemoveRows();
    changed();
}

void EMC_TreeModel::edit_item(const QModelIndex& index)
{
    if (!index.isValid() || index.model() != this) return;
    bool accepted = false;
    if (index.parent().isValid()) {
        CAD_Dialog dialog(static_cast<CAD_obj*>(item_of(index)), QApplication::activeWindow());
        accepted = run_dialog(dialog);
        if (accepted) dialog.apply();
    } else {
        EMC_Dialog dialog(static_cast<M_obj*>(item_of(index)), QApplication::activeWindow());
        accepted = run_dialog(dialog);
        if (accepted) dialog.apply();
    }
    if (!accepted) return;
    emit dataChanged(index, index);
    changed();
}

EMC::Config EMC_TreeModel::to_config() const
{
    EMC::Config config;
    config.major = 1;
    config.minor = 0;
    for (const auto& item : items) {
        // The file needs at least one CAD object per CAE item and refuses
        // to load otherwise: such a file would lose the whole configuration.
        if (item->children.empty())
            throw std::runtime_error(tr("The CAE item \"%1\" holds no CAD objects; add some or remove the item.")
                                         .arg(item->name)
                                         .toStdString());
        EMC::M_obj object;
        object.name = item->name.toStdString();
        object.method = item->method;
        if (item->method == solidB) object.size_min = item->min_size;
        if (!item->comments.isEmpty()) object.comment = item->comments.toStdString();
        for (const auto& cad : item->children) {
            EMC::CAD_obj stored;
            stored.id = cad->persistent_id.toStdString();
            stored.name = cad->name.toStdString();
            if (!cad->include) stored.include = false;
            if (cad->geom) stored.geom = true;
            object.cad_objects.push_back(std::move(stored));
        }
        config.objects.push_back(std::move(object));
    }
    return config;
}

bool EMC_TreeModel::save(const QString& path)
{
    const bool saved = guarded(nullptr, tr("Unable to save EMC file!"),
                               [&] { write_emc(to_config(), path.toLocal8Bit().toStdString()); });
    if (!saved) return false;
    modified = false;
    emit model_data_saved();
    return true;
}

std::vector<std::unique_ptr<EMC_TreeModel::M_obj>> EMC_TreeModel::from_config(const EMC::Config& config) const
{
    if (!client) throw std::runtime_error("No connection to the CAD plugin.");
    // The objects are found again in this CAD session by their persistent ids.
    const std::vector<std::vector<int32_t>> found = tarvik::find_emc_objects(*client, config);
    std::vector<std::unique_ptr<M_obj>> loaded;
    for (std::size_t n = 0; n < config.objects.size(); ++n) {
        const EMC::M_obj& object = config.objects[n];
        M_obj* item = loaded.emplace_back(std::make_unique<M_obj>()).get();
        item->name = QString::fromStdString(object.name);
        item->method = object.method == 0 ? solid : object.method == 1 ? solidB : point;
        item->comments = QString::fromStdString(object.comment.value_or(std::string()));
        item->min_size = object.size_min.value_or(0.0);
        const std::vector<int32_t>& node_ids = found[n];
        for (std::size_t i = 0; i < object.cad_objects.size(); ++i) {
            const EMC::CAD_obj& stored = object.cad_objects[i];
            CAD_obj* cad = item->add_child();
            cad->name = QString::fromStdString(stored.name);
            cad->persistent_id = QString::fromStdString(stored.id);
            cad->include = stored.include.value_or(true);
            cad->geom = stored.geom.value_or(false);
            cad->node_id = node_ids[i];
            if (cad->node_id == -1) continue;  // not in this model: CAD_NotFound
            if (!tree) throw std::runtime_error("No CAD tree.");
            cad->cad_type = cad_type_of(tree->nodes.at(cad->node_id).type);
        }
    }
    return loaded;
}

bool EMC_TreeModel::load(const QString& path)
{
    std::vector<std::unique_ptr<M_obj>> loaded;
    const bool read = guarded(nullptr, tr("Unable to load EMC file!"),
                              [&] { loaded = from_config(read_emc(path.toLocal8Bit().toStdString())); });
    if (!read) return false;
    beginResetModel();
    items.swap(loaded);
    endResetModel();
    loaded.clear();
    changed();
    modified = false;
    emit model_data_saved();
    return true;
}
