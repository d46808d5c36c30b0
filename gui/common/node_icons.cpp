#include "node_icons.h"

#include <QString>

namespace {

// Kept for the whole run and never freed: pixmaps must not be destroyed
// after the application object has gone.
NodeIcons* icons = nullptr;

QPixmap image(const char* name) { return QPixmap(QStringLiteral(":/images/") + QString::fromLatin1(name)); }

}  // namespace

static void init_image_resources() { Q_INIT_RESOURCE(images); }

void load_node_icons()
{
    if (icons) return;
    init_image_resources();
    icons = new NodeIcons{
        image("structure.png"), image("solid.png"), image("mip.png"), image("curve.png"),
        image("point.png"), image("unknown.png"), image("add_item.png"), image("delete.png"),
        // The bundle has no clear.png; nothing shows this one.
        image("clear.png"), image("cae_solid.png"), image("cae_solid_b.png"), image("cae_point.png")};
}

const NodeIcons& node_icons()
{
    static const NodeIcons empty;
    return icons ? *icons : empty;
}

namespace {

// Never freed, like the pixmaps they are made of.
struct ViewIcons {
    QIcon structure, solid, mip, curve, point, unknown, cae_solid, cae_solid_b, cae_point;
};

const ViewIcons& view_icons()
{
    static const ViewIcons* made = [] {
        const NodeIcons& p = node_icons();
        return new ViewIcons{QIcon(p.structure), QIcon(p.solid),     QIcon(p.mip),
                             QIcon(p.curve),     QIcon(p.point),     QIcon(p.unknown),
                             QIcon(p.cae_solid), QIcon(p.cae_solid_b), QIcon(p.cae_point)};
    }();
    return *made;
}

}  // namespace

const QIcon* node_type_icon(int node_type)
{
    const ViewIcons& v = view_icons();
    switch (node_type) {
    case 0: return &v.structure;
    case 1: return &v.solid;
    case 2: return &v.mip;
    case 3: return &v.curve;
    case 4: return &v.point;
    default: return nullptr;
    }
}

QIcon cad_object_icon(int cad_type)
{
    const ViewIcons& v = view_icons();
    switch (cad_type) {
    case 0: return v.structure;
    case 1: return v.solid;
    case 2: return v.point;
    default: return v.unknown;
    }
}

QIcon cae_method_icon(int method)
{
    const ViewIcons& v = view_icons();
    switch (method) {
    case 0: return v.cae_solid;
    case 1: return v.cae_solid_b;
    default: return v.cae_point;
    }
}
