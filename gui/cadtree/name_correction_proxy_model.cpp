#include "name_correction_proxy_model.h"

#include <string>
#include <utility>
#include <vector>

#include "cad_tree_model.h"
#include "export_client/export_tree.h"

NameCorrectionProxyModel::NameCorrectionProxyModel(QObject* parent) : QIdentityProxyModel(parent) {}

void NameCorrectionProxyModel::resetInternalData()
{
    QIdentityProxyModel::resetInternalData();
    name_cache.clear();
    corrected_cache.clear();
    last_names = nullptr;
}

void NameCorrectionProxyModel::setSourceModel(QAbstractItemModel* source)
{
    cad_source = qobject_cast<const CAD_TreeModel*>(source);
    QIdentityProxyModel::setSourceModel(source);
}

const QStringList& NameCorrectionProxyModel::corrected_names(const QModelIndex& source_parent) const
{
    const quint64 key =
        source_parent.isValid() ? source_parent.data(CAD_TreeModel::NodeAddressRole).toULongLong() : 0;
    const QAbstractItemModel* source = sourceModel();
    return corrected_names(key, source->rowCount(source_parent), [&](int row) {
        return tarvik::correct_name(source->index(row, 0, source_parent).data(CAD_TreeModel::NameRole).toString());
    });
}

template <class NameOf>
const QStringList& NameCorrectionProxyModel::corrected_names(quint64 key, int rows, const NameOf& name_of) const
{
    if (last_names && last_key == key) return *last_names;
    auto cached = name_cache.constFind(key);
    if (cached != name_cache.constEnd()) {
        last_key = key;
        last_names = &*cached;
        return *cached;
    }

    QStringList names;
    names.reserve(rows);
    tarvik::SiblingNames unique(rows);
    for (int row = 0; row < rows; ++row) names.append(unique.add(name_of(row)));
    // QHash keeps its values in place until it changes; the pointer is
    // dropped with the cache on every reset.
    last_names = nullptr;
    const QStringList& stored = *name_cache.insert(key, names);
    last_key = key;
    last_names = &stored;
    return stored;
}

QVariant NameCorrectionProxyModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.model() != this) return {};
    if (cad_source) {
        // An identity proxy's index points where its source index does.
        const CAD_RPC::Node* node = CAD_TreeModel::node_of_index(index);
        if (role != Qt::DisplayRole && role != CAD_TreeModel::NameRole) return CAD_TreeModel::node_data(*node, role);
        const CAD_RPC::Node* parent = cad_source->parent_node(node);
        const CAD_RPC::Node* owner = parent ? parent : cad_source->owner_of({});
        if (!owner) return {};
        const auto& children = owner->children_ids;
        const QStringList& names =
            corrected_names(static_cast<quint64>(reinterpret_cast<quintptr>(parent)), static_cast<int>(children.size()),
                            [&](int row) {
                                const CAD_RPC::Node* child = cad_source->node_at(children[static_cast<std::size_t>(row)]);
                                if (!child) return tarvik::correct_name(QString());
                                auto [it, fresh] = corrected_cache.try_emplace(child->name);
                                if (fresh) it->second = tarvik::correct_name(child->name);
                                return it->second;
                            });
        return index.row() < names.size() ? names.at(index.row()) : QVariant();
    }
    if (role != Qt::DisplayRole && role != CAD_TreeModel::NameRole) return QIdentityProxyModel::data(index, role);
    const QModelIndex source_index = mapToSource(index);
    const QStringList& names = corrected_names(source_index.parent());
    return index.row() < names.size() ? names.at(index.row()) : QVariant();
}

// Over the CAD tree the proxy's indexes carry the source's node pointers,
// which is all mapToSource and mapFromSource pass on: a view's every
// index() and parent() goes straight to the source.
QModelIndex NameCorrectionProxyModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!cad_source) return QIdentityProxyModel::index(row, column, parent);
    const QModelIndex source = cad_source->index(row, column, mapToSource(parent));
    return source.isValid() ? createIndex(source.row(), source.column(), source.internalPointer()) : QModelIndex();
}

QModelIndex NameCorrectionProxyModel::parent(const QModelIndex& child) const
{
    if (!cad_source) return QIdentityProxyModel::parent(child);
    const QModelIndex source = cad_source->parent(mapToSource(child));
    return source.isValid() ? createIndex(source.row(), source.column(), source.internalPointer()) : QModelIndex();
}

QVariant NameCorrectionProxyModel::headerData(int, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) return tr("ZEL Tree");
    return {};
}
