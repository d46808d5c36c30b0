// The committed pictures are what the drawing program draws.
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/e2e/child_process.h"

class ImagesTest : public QObject {
    Q_OBJECT

    // Antialiased edges may round differently between machines; shapes may not.
    static int largest_difference(const QImage& a, const QImage& b)
    {
        int worst = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q), qAlpha(p) - qAlpha(q)})
                    worst = std::max(worst, std::abs(d));
            }
        return worst;
    }

private slots:
    void the_committed_pictures_are_the_drawn_ones()
    {
        QTemporaryDir out;
        QVERIFY(out.isValid());
        velmora::testing::ChildProcess draw(
            {DRAW_IMAGES, out.filePath("images").toStdString(), out.filePath("flags").toStdString()});
        QCOMPARE(draw.wait(std::chrono::minutes(1)), std::optional<int>(0));

        int compared = 0;
        for (const auto& [drawn_dir, committed_dir] :
             {std::pair{out.filePath("images"), QString(IMAGES_DIR)}, std::pair{out.filePath("flags"), QString(FLAGS_DIR)}}) {
            for (const QString& name : QDir(drawn_dir).entryList({"*.png"})) {
                const QImage drawn(drawn_dir + "/" + name);
                const QImage committed(committed_dir + "/" + name);
                QVERIFY2(!committed.isNull(), qPrintable(name + " is not committed"));
                QCOMPARE(committed.size(), drawn.size());
                QVERIFY2(largest_difference(drawn.convertToFormat(QImage::Format_ARGB32),
                                            committed.convertToFormat(QImage::Format_ARGB32)) <= 24,
                         qPrintable(name + " differs from what the program draws"));
                ++compared;
            }
        }
        QCOMPARE(compared, 22);
    }
};

QTEST_MAIN(ImagesTest)
#include "images_test.moc"
