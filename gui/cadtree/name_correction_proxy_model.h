#pragma once
#include <QHash>
#include <QIdentityProxyModel>
#include <QPointer>
#include <QStringList>

#include <string>
#include <unordered_map>

#include "cad_rpc_types.h"
#include "cad_tree_model.h"

// The tree as it will be exported, names corrected as tarvik::correct_name
// and tarvik::SiblingNames make them, as an item model for the views.
class NameCorrectionProxyModel : public QIdentityProxyModel {
    Q_OBJECT
public:
    explicit NameCorrectionProxyModel(QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void setSourceModel(QAbstractItemModel* source) override;

protected slots:
    void resetInternalData();

private:
    const QStringList& corrected_names(const QModelIndex& source_parent) const;
    // `key` names the parent; `name_of(row)` gives each child's name.
    template <class NameOf>
    const QStringList& corrected_names(quint64 key, int rows, const NameOf& name_of) const;

    // Parent node address (0 for the top level) to its children's final names.
    mutable QHash<quint64, QStringList> name_cache;
    // The list last served: a view asks for siblings one after another.
    mutable quint64 last_key = 0;
    mutable const QStringList* last_names = nullptr;
    // The source when it is the CAD tree itself: names are read from the
    // nodes without going through indexes and variants. Null again once that
    // model is gone.
    QPointer<const CAD_TreeModel> cad_source;
    // A node name to its correction: a machine repeats its fasteners'
    // names thousands of times. Emptied with name_cache.
    mutable std::unordered_map<std::string, QString> corrected_cache;
};
