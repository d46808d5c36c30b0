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
