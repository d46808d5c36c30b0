#pragma once
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
