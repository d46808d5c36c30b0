// Draws Tarvik's image bundle and the language flags as PNG files.
//   draw-tarvik-images IMAGES_DIR FLAGS_DIR
// Plain shapes only (no text), so the pictures do not depend on fonts.
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

constexpr int kSize = 64;

// One palette for every picture.
const QColor kInk(0x26, 0x32, 0x38);
const QColor kSteel(0x4f, 0x83, 0xc4);
const QColor kTeal(0x1f, 0x9e, 0x89);
const QColor kOrange(0xe6, 0x7e, 0x22);
const QColor kRed(0xd6, 0x3b, 0x30);
const QColor kGreen(0x3c, 0xa5, 0x4a);
const QColor kGrey(0x9a, 0xa5, 0xad);
const QColor kPaper(0xfa, 0xfa, 0xf7);
const QColor kGold(0xf2, 0xc1, 0x3d);

QPen ink(qreal width = 3.0, QColor colour = kInk)
{
    QPen pen(colour, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

// An isometric cube filling most of the tile, its faces shaded from `face`.
void cube(QPainter& p, QColor face, qreal scale = 1.0, QPointF offset = {0, 0})
{
    auto at = [&](qreal x, qreal y) { return QPointF(offset.x() + 32 + (x - 32) * scale, offset.y() + 32 + (y - 32) * scale); };
    const QPolygonF top({at(32, 6), at(56, 18), at(32, 30), at(8, 18)});
    const QPolygonF left({at(8, 18), at(32, 30), at(32, 58), at(8, 46)});
    const QPolygonF right({at(32, 30), at(56, 18), at(56, 46), at(32, 58)});
    p.setPen(ink(2.5));
    p.setBrush(face.lighter(135));
    p.drawPolygon(top);
    p.setBrush(face);
    p.drawPolygon(left);
    p.setBrush(face.darker(130));
    p.drawPolygon(right);
}

void wire_cube(QPainter& p, QColor colour)
{
    p.setPen(ink(2.5, colour));
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(QPolygonF({QPointF(32, 6), QPointF(56, 18), QPointF(32, 30), QPointF(8, 18)}));
    p.drawPolyline(QPolygonF({QPointF(8, 18), QPointF(8, 46), QPointF(32, 58), QPointF(56, 46), QPointF(56, 18)}));
    p.drawLine(QPointF(32, 30), QPointF(32, 58));
}

// The centre-of-mass mark: a disc in four quarters, two of them filled.
void mass_mark(QPainter& p, QPointF centre, qreal radius, QColor fill)
{
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.setPen(ink(2.5));
    p.setBrush(kPaper);
    p.drawEllipse(box);
    p.setBrush(fill);
    p.setPen(Qt::NoPen);
    p.drawPie(box, 0 * 16, 90 * 16);
    p.drawPie(box, 180 * 16, 90 * 16);
    p.setPen(ink(2.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(box);
}

void crosshair_point(QPainter& p, QColor colour)
{
    p.setPen(ink(3, kInk));
    p.drawLine(QPointF(32, 8), QPointF(32, 22));
    p.drawLine(QPointF(32, 42), QPointF(32, 56));
    p.drawLine(QPointF(8, 32), QPointF(22, 32));
    p.drawLine(QPointF(42, 32), QPointF(56, 32));
    p.setBrush(colour);
    p.drawEllipse(QPointF(32, 32), 9, 9);
}

void floppy(QPainter& p)
{
    QPainterPath body;
    body.moveTo(8, 8);
    body.lineTo(48, 8);
    body.lineTo(56, 16);
    body.lineTo(56, 56);
    body.lineTo(8, 56);
    body.closeSubpath();
    p.setPen(ink(2.5));
    p.setBrush(kSteel);
    p.drawPath(body);
    p.setBrush(kPaper);
    p.drawRect(QRectF(18, 8, 26, 16));
    p.setBrush(kInk);
    p.drawRect(QRectF(34, 11, 6, 10));
    p.setBrush(kPaper);
    p.drawRect(QRectF(16, 34, 32, 22));
}

void folder(QPainter& p)
{
    QPainterPath back;
    back.moveTo(6, 16);
    back.lineTo(24, 16);
    back.lineTo(29, 22);
    back.lineTo(54, 22);
    back.lineTo(54, 52);
    back.lineTo(6, 52);
    back.closeSubpath();
    p.setPen(ink(2.5));
    p.setBrush(kGold.darker(115));
    p.drawPath(back);
    p.setBrush(kGold);
    p.drawPolygon(QPolygonF({QPointF(12, 30), QPointF(60, 30), QPointF(54, 52), QPointF(6, 52)}));
}

// Two arrows chasing each other round a circle.
void cycle_arrows(QPainter& p, QColor colour)
{
    const QRectF ring(14, 14, 36, 36);
    p.setPen(ink(6, colour));
    p.setBrush(Qt::NoBrush);
    p.drawArc(ring, 30 * 16, 130 * 16);
    p.drawArc(ring, 210 * 16, 130 * 16);
    p.setPen(ink(2, colour));
    p.setBrush(colour);
    auto head = [&](qreal angle_deg) {
        const qreal a = angle_deg * M_PI / 180.0;
        const QPointF tip(32 + 18 * std::cos(a), 32 - 18 * std::sin(a));
        const QPointF along(std::sin(a), std::cos(a));  // direction of travel (clockwise)
        const QPointF out(std::cos(a), -std::sin(a));
        p.drawPolygon(QPolygonF({tip + along * 10, tip + out * 9, tip - out * 9}));
    };
    head(30);
    head(210);
}

void round_badge(QPainter& p, QColor colour, std::function<void()> mark)
{
    p.setPen(ink(2.5));
    p.setBrush(colour);
    p.drawEllipse(QRectF(6, 6, 52, 52));
    mark();
}

void ruler(QPainter& p, QRectF box)
{
    p.setPen(ink(2));
    p.setBrush(kGold);
    p.drawRect(box);
    for (int i = 1; i < 6; ++i) {
        const qreal x = box.left() + box.width() * i / 6.0;
        p.drawLine(QPointF(x, box.top()), QPointF(x, box.top() + (i % 2 ? box.height() * 0.45 : box.height() * 0.7)));
    }
}

using Drawing = std::function<void(QPainter&)>;

const std::map<std::string, Drawing>& images()
{
    static const std::map<std::string, Drawing> all = {
        {"structure.png", [](QPainter& p) {
             p.setPen(ink(3));
             p.drawLine(QPointF(18, 20), QPointF(18, 48));
             p.drawLine(QPointF(18, 32), QPointF(34, 32));
             p.drawLine(QPointF(18, 48), QPointF(34, 48));
             p.setBrush(kSteel);
             p.drawRoundedRect(QRectF(8, 6, 22, 16), 3, 3);
             p.setBrush(kSteel.lighter(140));
             p.drawRoundedRect(QRectF(34, 25, 22, 14), 3, 3);
             p.drawRoundedRect(QRectF(34, 41, 22, 14), 3, 3);
         }},
        {"solid.png", [](QPainter& p) { cube(p, kSteel); }},
        {"solid_0.png", [](QPainter& p) { wire_cube(p, kGrey.darker(130)); }},
        {"mip.png", [](QPainter& p) { mass_mark(p, {32, 32}, 25, kInk); }},
        {"curve.png", [](QPainter& p) {
             QPainterPath path;
             path.moveTo(8, 52);
             path.cubicTo(18, 4, 44, 60, 56, 12);
             p.setPen(ink(6, kOrange));
             p.drawPath(path);
             p.setPen(ink(2));
             p.setBrush(kPaper);
             p.drawEllipse(QPointF(8, 52), 4.5, 4.5);
             p.drawEllipse(QPointF(56, 12), 4.5, 4.5);
         }},
        {"point.png", [](QPainter& p) { crosshair_point(p, kRed); }},
        {"unknown.png", [](QPainter& p) {
             round_badge(p, kGrey, [&] {
                 QPainterPath q;
                 q.moveTo(23, 24);
                 q.cubicTo(23, 12, 41, 12, 41, 24);
                 q.cubicTo(41, 32, 32, 31, 32, 40);
                 p.setPen(ink(6, kPaper));
                 p.setBrush(Qt::NoBrush);
                 p.drawPath(q);
                 p.setPen(Qt::NoPen);
                 p.setBrush(kPaper);
                 p.drawEllipse(QPointF(32, 49), 4, 4);
             });
         }},
        {"add_item.png", [](QPainter& p) {
             round_badge(p, kGreen, [&] {
                 p.setPen(ink(7, kPaper));
                 p.drawLine(QPointF(32, 18), QPointF(32, 46));
                 p.drawLine(QPointF(18, 32), QPointF(46, 32));
             });
         }},
        {"delete.png", [](QPainter& p) {
             round_badge(p, kRed, [&] {
                 p.setPen(ink(7, kPaper));
                 p.drawLine(QPointF(21, 21), QPointF(43, 43));
                 p.drawLine(QPointF(43, 21), QPointF(21, 43));
             });
         }},
        {"erase.png", [](QPainter& p) {
             p.setPen(ink(2.5));
             p.setBrush(QColor(0xf2, 0x8b, 0xa8));
             p.drawPolygon(QPolygonF({QPointF(30, 8), QPointF(56, 34), QPointF(38, 52), QPointF(12, 26)}));
             p.setBrush(kPaper);
             p.drawPolygon(QPolygonF({QPointF(12, 26), QPointF(26, 40), QPointF(18, 48), QPointF(4, 34)}));
             p.setPen(ink(3, kGrey.darker(120)));
             p.drawLine(QPointF(22, 58), QPointF(60, 58));
         }},
        {"save.png", [](QPainter& p) { floppy(p); }},
        {"save_as.png", [](QPainter& p) {
             floppy(p);
             p.setPen(ink(2));
             p.setBrush(kOrange);
             p.drawPolygon(QPolygonF({QPointF(54, 26), QPointF(62, 34), QPointF(38, 58), QPointF(28, 60), QPointF(30, 50)}));
         }},
        {"open.png", [](QPainter& p) { folder(p); }},
        {"import.png", [](QPainter& p) {
             p.setPen(ink(3));
             p.setBrush(kPaper);
             p.drawPolyline(QPolygonF({QPointF(8, 38), QPointF(8, 56), QPointF(56, 56), QPointF(56, 38)}));
             p.setPen(ink(2.5));
             p.setBrush(kTeal);
             p.drawPolygon(QPolygonF({QPointF(26, 6), QPointF(38, 6), QPointF(38, 26), QPointF(48, 26),
                                      QPointF(32, 46), QPointF(16, 26), QPointF(26, 26)}));
         }},
        {"update.png", [](QPainter& p) { cycle_arrows(p, kGreen); }},
        {"update_0.png", [](QPainter& p) { cycle_arrows(p, kGrey); }},
        {"logo.png", [](QPainter& p) {
             p.setPen(ink(2.5));
             p.setBrush(kInk);
             p.drawRoundedRect(QRectF(3, 3, 58, 58), 10, 10);
             cube(p, kSteel, 0.62, {-8, 4});
             // A bold "Z" of the export's name, drawn as a path.
             p.setPen(ink(6, kGold));
             p.setBrush(Qt::NoBrush);
             p.drawPolyline(QPolygonF({QPointF(34, 12), QPointF(54, 12), QPointF(34, 34), QPointF(54, 34)}));
         }},
        {"cae_solid.png", [](QPainter& p) {
             cube(p, kTeal, 0.8, {-4, -4});
             mass_mark(p, {48, 48}, 11, kTeal.darker(150));
         }},
        {"cae_solid_b.png", [](QPainter& p) {
             cube(p, kTeal, 0.8, {-4, -6});
             ruler(p, QRectF(6, 50, 52, 10));
         }},
        {"cae_point.png", [](QPainter& p) { crosshair_point(p, kTeal); }},
    };
    return all;
}

QImage draw_tile(const Drawing& drawing)
{
    QImage image(kSize, kSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawing(painter);
    return image;
}

QImage flag_ru()
{
    QImage image(64, 42, QImage::Format_ARGB32);
    QPainter p(&image);
    p.fillRect(QRect(0, 0, 64, 14), Qt::white);
    p.fillRect(QRect(0, 14, 64, 14), QColor(0x00, 0x39, 0xa6));
    p.fillRect(QRect(0, 28, 64, 14), QColor(0xd5, 0x2b, 0x1e));
    p.setPen(QPen(kGrey, 1));
    p.drawRect(QRect(0, 0, 63, 41));
    return image;
}

QImage flag_en()
{
    QImage image(64, 42, QImage::Format_ARGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor blue(0x01, 0x21, 0x69), red(0xc8, 0x10, 0x2e);
    p.fillRect(QRect(0, 0, 64, 42), blue);
    p.setPen(QPen(Qt::white, 9));
    p.drawLine(QPointF(0, 0), QPointF(64, 42));
    p.drawLine(QPointF(64, 0), QPointF(0, 42));
    p.setPen(QPen(red, 3));
    p.drawLine(QPointF(0, 0), QPointF(64, 42));
    p.drawLine(QPointF(64, 0), QPointF(0, 42));
    p.fillRect(QRectF(25, 0, 14, 42), Qt::white);
    p.fillRect(QRectF(0, 14, 64, 14), Qt::white);
    p.fillRect(QRectF(28, 0, 8, 42), red);
    p.fillRect(QRectF(0, 17, 64, 8), red);
    return image;
}

bool save(const QImage& image, const QString& path)
{
    if (image.save(path, "PNG")) return true;
    std::fprintf(stderr, "draw-tarvik-images: cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: draw-tarvik-images IMAGES_DIR FLAGS_DIR\n");
        return 2;
    }
    const QString images_dir = QString::fromLocal8Bit(argv[1]);
    const QString flags_dir = QString::fromLocal8Bit(argv[2]);
    if (!QDir().mkpath(images_dir) || !QDir().mkpath(flags_dir)) {
        std::fprintf(stderr, "draw-tarvik-images: cannot create the output folders\n");
        return 1;
    }
    bool ok = true;
    for (const auto& [name, drawing] : images())
        ok = save(draw_tile(drawing), images_dir + QLatin1Char('/') + QString::fromStdString(name)) && ok;
    ok = save(flag_en(), flags_dir + QStringLiteral("/en.png")) && ok;
    ok = save(flag_ru(), flags_dir + QStringLiteral("/ru.png")) && ok;
    return ok ? 0 : 1;
}
