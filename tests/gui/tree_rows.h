#pragma once
// Finding the rows and widgets of Tarvik's window in tests, and dragging
// rows of the CAD tree onto the EMC tree as the user does.
#include <memory>

#include <QMimeData>
#include <QStringList>
#include <QWidget>

#include "gui/cadtree/cad_tree_model.h"
#include "gui/emc/emc_tree_model.h"

namespace tarvik::testing {

// The first row named `name` at or below `parent` (the CAD tree, or a proxy over it).
inline QModelIndex cad_row(const QAbstractItemModel& model, const QString& name, const QModelIndex& parent = {})
{
    return model.match(model.index(0, 0, parent), CAD_TreeModel::NameRole, name, 1, Qt::MatchExactly | Qt::MatchRecursive)
        .value(0);
}

// These rows of the CAD tree dropped onto `onto`, a row of the EMC tree.
inline bool drop(const CAD_TreeModel& cad, EMC_TreeModel& emc, const QStringList& names, const QModelIndex& onto)
{
    QModelIndexList rows;
    for (const QString& name : names) rows << cad_row(cad, name);
    std::unique_ptr<QMimeData> mime(cad.mimeData(rows));
    return emc.dropMimeData(mime.get(), Qt::CopyAction, -1, 0, onto);
}

template <class T>
T* child(QWidget& window, const char* name)
{
    T* widget = window.findChild<T*>(QString::fromLatin1(name));
    if (!widget) qFatal("no widget %s", name);
    return widget;
}

}  // namespace tarvik::testing
