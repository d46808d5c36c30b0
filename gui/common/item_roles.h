#pragma once
#include <Qt>

// Item data roles of Tarvik's tree models beyond the toolkit's own: one
// numbering, as a view may show the CAD tree, the reshaped tree and the EMC
// items side by side and a drag carries rows from one to another.
namespace tarvik {

enum ItemRole {
    TypeRole = Qt::UserRole + 1,
    NameRole = Qt::UserRole + 2,
    IdRole = Qt::UserRole + 3,
    ParentIdRole = Qt::UserRole + 4,
    VisibleRole = Qt::UserRole + 5,
    M_NameRole = Qt::UserRole + 6,
    NodeIdRole = Qt::UserRole + 7,
    IncludeRole = Qt::UserRole + 9,
    GeomRole = Qt::UserRole + 10,
    MethodRole = Qt::UserRole + 11,
    MinSizeRole = Qt::UserRole + 12,
    NodeAddressRole = Qt::UserRole + 13,
};

// What a drag of CAD rows carries: the addresses of their nodes.
inline constexpr const char* kCadNodesMimeType = "application/vnd.cad_rpc_node_ptr.list";

}  // namespace tarvik
