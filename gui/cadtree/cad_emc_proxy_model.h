#pragma once
#include <QAbstractItemModel>

#include "CAD_RPC_Service.h"
#include "export_client/emc_shape.h"

class EMC_TreeModel;

// The CAD tree as the EMC configuration reshapes it (tarvik::EmcShape), as
// an item model for the views.
class CAD_EMC_ProxyModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit CAD_EMC_ProxyModel(QObject* parent = nullptr);

    void set_tree(CAD_RPC::Tree* t) { tree = t; }
    void set_client(CAD_RPC::CAD_RPC_ServiceClient* c) { client = c; }
    void set_emc_model(EMC_TreeModel* model) { emc_model = model; }
    bool is_built() const { return built; }
    // What the proxy shows, for the export.
    const tarvik::ShownItem& shown() const { return shape.root(); }

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
    static const tarvik::ShownItem* item_of(const QModelIndex& index);

    CAD_RPC::Tree* tree = nullptr;
    CAD_RPC::CAD_RPC_ServiceClient* client = nullptr;
    EMC_TreeModel* emc_model = nullptr;
    tarvik::EmcShape shape;
    bool built = false;
    bool single_mip = false;
};
