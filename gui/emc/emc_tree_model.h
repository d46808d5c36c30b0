#pragma once
#include <vector>

#include <QAbstractItemModel>

#include "CAD_RPC_Service.h"
#include "export_client/emc_file.h"
#include "gui/common/item_roles.h"

// An EMC configuration as an item model: its CAE items at the top, the CAD
// objects each applies to below them, and with each CAD object its node id
// in this CAD session (-1: not in this model). It only holds and shows the
// configuration; EMC_Controller edits, loads and saves it.
class EMC_TreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    using enum tarvik::ItemRole;
    // What a CAD object is in the current CAD model (its icon).
    enum CAD_Type : int32_t { CAD_Structure = 0, CAD_Solid = 1, CAD_Other = 2, CAD_NotFound = 3 };

    explicit EMC_TreeModel(QObject* parent = nullptr);

    // The CAD tree the node ids are of (for the objects' kinds and drops).
    void set_tree(const CAD_RPC::Tree* t) { tree = t; }
    CAD_Type cad_type_of(int32_t node_id) const;

    const EMC::Config& config() const { return configuration; }
    // Per CAE item, its CAD objects' node ids.
    const std::vector<std::vector<int32_t>>& node_ids() const { return ids; }
    void set_config(EMC::Config config, std::vector<std::vector<int32_t>> node_ids);

    // A CAE item appended (its CAD objects, if any, dropped).
    void add_item(EMC::M_obj item);
    // The CAE item at `row` takes `fields`' name, method, size and comment.
    void set_item(int row, const EMC::M_obj& fields);
    void add_objects(int row, const std::vector<EMC::CAD_obj>& objects, const std::vector<int32_t>& node_ids);
    void set_object(int row, int object, const EMC::CAD_obj& value);
    void remove(const QModelIndex& index);
    void clear();

    // The CAE item of an index (its own row for a CAD object's); -1 for none.
    int item_row(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

signals:
    // Any change to the configuration.
    void changed();
    // CAD nodes of the tree dropped onto a CAE item (or one of its objects).
    void cad_nodes_dropped(int item_row, const std::vector<int32_t>& node_ids);

private:
    // The nodes of this window's tree that a payload names; empty for a
    // payload that is not one of ours.
    std::vector<int32_t> dropped_nodes(const QMimeData* data) const;

    const CAD_RPC::Tree* tree = nullptr;
    EMC::Config configuration;
    std::vector<std::vector<int32_t>> ids;
};
