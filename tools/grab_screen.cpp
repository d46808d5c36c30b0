// What an X display shows, for the scripts that draw the README's pictures
// under Xvfb.
//   grab-screen OUT.png                          the whole screen, now
//   grab-screen --until R,G,B X,Y,W,H [OUT.png]  first waits (up to 60 s) until a
//                                                pixel near that colour shows in
//                                                the rectangle; exit 1 if none does
//   grab-screen --click X,Y                      a left click there (XTest)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QStringList>

// After Qt: X11's macros would break its headers.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

QList<int> numbers(const char* text)
{
    QList<int> out;
    for (const QString& part : QString::fromLatin1(text).split(u','))
        out << part.toInt();
    return out;
}

QImage screen_image()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->grabWindow(0).toImage() : QImage();
}

bool shows(const QImage& image, const QList<int>& rgb, const QList<int>& rect)
{
    for (int y = rect[1]; y < rect[1] + rect[3] && y < image.height(); ++y)
        for (int x = rect[0]; x < rect[0] + rect[2] && x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::abs(qRed(p) - rgb[0]) < 40 && std::abs(qGreen(p) - rgb[1]) < 40 && std::abs(qBlue(p) - rgb[2]) < 40)
                return true;
        }
    return false;
}

int click(const QList<int>& at)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    XTestFakeMotionEvent(display, -1, at[0], at[1], 0);
    XTestFakeButtonEvent(display, 1, True, 0);
    XTestFakeButtonEvent(display, 1, False, 0);
    XFlush(display);
    XCloseDisplay(display);
    return 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == "--click") return click(numbers(argv[2]));
    if (args.size() >= 3 && args[0] == "--until") {
        const QList<int> rgb = numbers(argv[2]), rect = numbers(argv[3]);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        QImage image = screen_image();
        while (!shows(image, rgb, rect)) {
            if (std::chrono::steady_clock::now() > deadline) {
                std::fprintf(stderr, "grab-screen: the colour did not show\n");
                return 1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            image = screen_image();
        }
        if (args.size() == 4 && !image.save(args[3], "PNG")) return 1;
        return 0;
    }
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: grab-screen OUT.png | --until R,G,B X,Y,W,H [OUT.png] | --click X,Y\n");
        return 2;
    }
    const QImage shot = screen_image();
    if (shot.isNull() || !shot.save(args[0], "PNG")) {
        std::fprintf(stderr, "grab-screen: cannot grab the screen into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
