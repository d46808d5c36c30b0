#pragma once
#include <functional>

#include <QAbstractItemModel>

#include "export_client/emc_shape.h"

// The CAD tree as the EMC configuration reshapes it (tarvik::EmcShape), as
// an item model for the views. Who reshapes it (and asks the add-in for
// sizes) is the window's business.
class CAD_EMC_ProxyModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit CAD_EMC_ProxyModel(QObject* parent = nullptr);

    // Shows what `build` makes of an empty shape. What it throws leaves the
    // proxy empty and usable, and is rethrown once the views have caught up.
    void rebuild(const std::function<void(tarvik::EmcShape&)>& build);
    // What the proxy shows, for the export.
    const tarvik::ShownItem& shown() const { return shape.root(); }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    static const tarvik::ShownItem* item_of(const QModelIndex& index);

    tarvik::EmcShape shape;
};
