#pragma once
#include <vector>

#include <QAbstractItemModel>
#include <QMetaType>

#include "cad_rpc_types.h"
#include "gui/common/item_roles.h"

Q_DECLARE_METATYPE(CAD_RPC::Node*)

// The CAD tree as the add-in sent it, read-only, one column. Every index
// points straight at a node inside the tree; nothing is copied.
class CAD_TreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    using enum tarvik::ItemRole;
    static constexpr const char* kMimeType = tarvik::kCadNodesMimeType;

    explicit CAD_TreeModel(QObject* parent = nullptr);

    // The tree must outlive the model and stay unchanged; no reset is sent,
    // so set it before a view is attached.
    void set_tree(CAD_RPC::Tree* tree);
    CAD_RPC::Tree* get_tree() const { return tree; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    QModelIndex sibling(int row, int column, const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;

    // Straight to the nodes, for models stacked on this one.
    // The node of a row; null for an invalid index.
    static const CAD_RPC::Node* node_of_index(const QModelIndex& index)
    {
        return index.isValid() ? static_cast<const CAD_RPC::Node*>(index.internalPointer()) : nullptr;
    }
    // The node whose children are the rows under `parent` (the root for
    // an invalid index).
    const CAD_RPC::Node* owner_of(const QModelIndex& parent) const { return parent.isValid() ? node_of_index(parent) : root(); }
    // The node a row's parent index points at; null for a top-level row.
    const CAD_RPC::Node* parent_node(const CAD_RPC::Node* node) const
    {
        return !tree || node->parent_id == tree->root_id ? nullptr : node_at(node->parent_id);
    }
    const CAD_RPC::Node* node_at(int32_t id) const;
    // What data() answers for a row of `node`.
    static QVariant node_data(const CAD_RPC::Node& node, int role);

private:
    const CAD_RPC::Node* root() const;
    QModelIndex index_of(const CAD_RPC::Node* node, int row) const;

    CAD_RPC::Tree* tree = nullptr;
    // Node id -> node and its row under its parent, made once per tree
    // when the ids are dense (the add-in numbers them from 0): a view's
    // every index() and parent() looks nodes up by id, and searching the
    // parent's list for the row would cost a sibling list's length per row.
    struct Entry {
        const CAD_RPC::Node* node = nullptr;
        int row = -1;
    };
    std::vector<Entry> by_id;
};
