#pragma once
#include <QIcon>
#include <QPixmap>

// The pixmaps every view draws nodes with, loaded once from the resources.
struct NodeIcons {
    QPixmap structure, solid, mip, curve, point, unknown;
    QPixmap add_item, delete_item, clear;
    QPixmap cae_solid, cae_solid_b, cae_point;
};

// Needs the application object; later calls do nothing.
void load_node_icons();
// Empty pixmaps until load_node_icons has run.
const NodeIcons& node_icons();

// The same pictures as icons, for item views: a view draws an icon at its
// icon size, a pixmap at the pixmap's own (much larger) size. Null for a
// value that has no picture. Made on first use, so load the pixmaps first.
const QIcon* node_type_icon(int node_type);  // CAD_RPC::NodeType
QIcon cad_object_icon(int cad_type);         // 0 structure, 1 solid, 2 other, 3 not found
QIcon cae_method_icon(int method);           // 0 solid, 1 solidB, 2 point
