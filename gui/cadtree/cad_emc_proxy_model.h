#pragma once
#include <memory>
#include <vector>

#include <QAbstractItemModel>

#include "CAD_RPC_Service.h"

class EMC_TreeModel;

// The CAD tree as the EMC configuration reshapes it: one structure per CAE
// item holding that item's CAD objects, with the solids of a "solidB" item
// that are smaller than its minimal size turned into MIP elements.
class CAD_EMC_ProxyModel : public QAbstractItemModel {
    Q_OBJECT
public:
    struct ProxyItem {
        std::vector<std::unique_ptr<ProxyItem>> children;
        CAD_RPC::Node* node = nullptr;
        ProxyItem* parent = nullptr;
        ProxyItem* add(CAD_RPC::Node* child_node);
    };

    explicit CAD_EMC_ProxyModel(QObject* parent = nullptr);
    ~CAD_EMC_ProxyModel() override;

    void set_tree(CAD_RPC::Tree* t) { tree = t; }
    void set_client(CAD_RPC::CAD_RPC_ServiceClient* c) { client = c; }
    void set_emc_model(EMC_TreeModel* model) { emc_model = model; }
    bool is_built() const { return root != nullptr; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

public slots:
    // Rebuilds from the EMC model. A failure (an unknown node, the add-in
    // gone) leaves the proxy empty and usable, and is reported.
    void update_model();
    void MIP_for_each();
    void single_MIP_for_all();

private:
    void build();
    // A CAD object of a CAE item that the CAD model holds.
    struct ListedObject {
        int32_t id;
        bool include;
        bool geom;
    };
    void build_item(int row);
    std::vector<ListedObject> listed_objects(const QModelIndex& cae) const;
    // The listed objects' subtrees (structures and solids) under the CAE
    // item; returns the nested objects whose geometry is always kept.
    std::vector<int32_t> add_subtrees(ProxyItem* cae_item, const std::vector<ListedObject>& listed);
    void convert_small_solids(ProxyItem* cae_item, const std::vector<int32_t>& keep_geometry, double min_size_mm);
    CAD_RPC::Node* make_node(CAD_RPC::NodeType::type type, const std::string& name, int32_t id, int32_t parent_id,
                             bool visible);
    static ProxyItem* item_of(const QModelIndex& index);
    int row_of(const ProxyItem* item) const;

    CAD_RPC::Tree* tree = nullptr;
    CAD_RPC::CAD_RPC_ServiceClient* client = nullptr;
    EMC_TreeModel* emc_model = nullptr;
    std::vector<std::unique_ptr<CAD_RPC::Node>> nodes;
    std::unique_ptr<ProxyItem> root;
    bool single_mip = false;
};
