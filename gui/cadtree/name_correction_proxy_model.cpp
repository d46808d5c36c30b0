#include "name_correction_proxy_model.h"

#include <string>
#include <utility>
#include <vector>

#include "cad_tree_model.h"

namespace {

// The characters a ZEL name may hold, as the pattern [A-Za-zА-ЯЁа-яё\d]
// has them (\d: ASCII digits only). Tested per code point by hand: the
// regular expression costs more than the rest of a view's walk.
bool valid_name_char(char32_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
           (c >= 0x0410 && c <= 0x044F) || c == 0x0401 || c == 0x0451;
}

// correct_name of a UTF-8 name; ASCII, the usual case, without decoding.
QString corrected_utf8(const std::string& name)
{
    if (name.empty()) return QStringLiteral("_");
    const bool leading_digit = name.front() >= '0' && name.front() <= '9';
    QString result(static_cast<qsizetype>(name.size()) + (leading_digit ? 1 : 0), Qt::Uninitialized);
    QChar* out = result.data();
    if (leading_digit) *out++ = u'_';
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) return NameCorrectionProxyModel::correct_name(QString::fromStdString(name));
        *out++ = valid_name_char(u) ? QChar(u) : QChar(u'_');
    }
    return result;
}

}  // namespace

NameCorrectionProxyModel::NameCorrectionProxyModel(QObject* parent) : QIdentityProxyModel(parent) {}

QString NameCorrectionProxyModel::correct_name(const QString& name)
{
    if (name.isEmpty()) return QStringLiteral("_");
    QString result;
    result.reserve(name.size() + 1);
    if (name.front() >= u'0' && name.front() <= u'9') result.append(u'_');
    // One "_" per character: a surrogate pair is one character.
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            result.append(u'_');
            ++i;
        } else {
            result.append(valid_name_char(c.unicode()) ? c : QChar(u'_'));
        }
    }
    return result;
}

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
        return correct_name(source->index(row, 0, source_parent).data(CAD_TreeModel::NameRole).toString());
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
    // Name -> its counter + 1, so that 0 is an entry just made: one lookup
    // for a name not seen before.
    QHash<QString, int> seen;
    seen.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        QString corrected = name_of(row);
        int& stored = seen[corrected];
        if (stored == 0) {
            stored = 1;
            names.append(std::move(corrected));
            continue;
        }
        // "_$N" after the name, or "$N" after a trailing "_". A and A_ both
        // make A_$N: where that is taken already, count on until it is free.
        const QStringView separator = corrected.endsWith(u'_') ? QStringView(u"$") : QStringView(u"_$");
        QString final_name;
        do {
            final_name.clear();
            final_name += corrected;
            final_name += separator;
            final_name += QString::number(stored++);
        } while (seen.contains(final_name));
        seen.insert(final_name, 1);  // as a new name, its counter from 0 again
        names.append(std::move(final_name));
    }
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
                                if (!child) return correct_name({});
                                auto [it, fresh] = corrected_cache.try_emplace(child->name);
                                if (fresh) it->second = corrected_utf8(child->name);
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

void build_export_tree(const NameCorrectionProxyModel& proxy, bool all_as_visible, CAD_RPC::Tree& tree)
{
    tree.root_id = 0;
    // (key, proxy index); last pushed is expanded first.
    std::vector<std::pair<int32_t, QModelIndex>> stack;
    stack.emplace_back(0, QModelIndex());
    int32_t next_key = 1;
    while (!stack.empty()) {
        auto [key, index] = stack.back();
        stack.pop_back();
        CAD_RPC::Node& node = tree.nodes[key];
        node.type = static_cast<CAD_RPC::NodeType::type>(proxy.data(index, CAD_TreeModel::TypeRole).toInt());
        node.name = proxy.data(index, CAD_TreeModel::NameRole).toString().toStdString();
        node.id = proxy.data(index, CAD_TreeModel::IdRole).toInt();
        node.parent_id = proxy.data(index, CAD_TreeModel::ParentIdRole).toInt();
        node.is_visible = all_as_visible || proxy.data(index, CAD_TreeModel::VisibleRole).toBool();
        if (node.type == CAD_RPC::NodeType::ElementMIP) {
            // The MIP's own node (from the EMC proxy) lists the solids it stands for.
            const QVariant carried = proxy.data(index, Qt::UserRole);
            if (carried.canConvert<CAD_RPC::Node*>())
                if (const CAD_RPC::Node* source_node = carried.value<CAD_RPC::Node*>())
                    node.children_ids = source_node->children_ids;
        } else if (node.type == CAD_RPC::NodeType::Structure) {
            const int rows = proxy.rowCount(index);
            for (int row = 0; row < rows; ++row) {
                const int32_t child_key = next_key++;
                node.children_ids.push_back(child_key);
                stack.emplace_back(child_key, proxy.index(row, 0, index));
            }
        }
    }
}
