#include "ImageBlur.h"

#include <QTest>

class TestImageBlur : public QObject
{
    Q_OBJECT

private slots:
    // A plain colour stays exactly itself at any radius: no darkening from rounding, and no
    // channel spilling into its neighbour when a sum rounds up past 255.
    void plainColourStaysItself_data()
    {
        QTest::addColumn<int>("radius");
        for (int radius : {1, 9, 30, 900})
            QTest::addRow("radius %d", radius) << radius;
    }
    void plainColourStaysItself()
    {
        QFETCH(int, radius);
        for (const QColor colour : {QColor(Qt::white), QColor(255, 0, 128), QColor(10, 200, 255, 128)}) {
            QImage image(64, 40, QImage::Format_ARGB32_Premultiplied);
            image.fill(colour);
            const QImage blurred = ImageBlur::blurred(image, radius);
            for (int y = 0; y < blurred.height(); ++y)
                for (int x = 0; x < blurred.width(); ++x)
                    QCOMPARE(blurred.pixel(x, y), image.pixel(0, 0));
        }
    }

    // A bright dot spreads evenly along rows and columns; the shield's backdrop is blurred the
    // same way and keeps its size.
    void dotSpreadsEvenly()
    {
        QImage image(41, 41, QImage::Format_RGB32);
        image.fill(Qt::black);
        image.setPixel(20, 20, qRgb(255, 255, 255));
        for (const QImage& blurred : {ImageBlur::blurred(image, 6), ImageBlur::backdrop(image)}) {
            QCOMPARE(blurred.size(), image.size());
            const int centre = qRed(blurred.pixel(20, 20));
            QVERIFY(centre > 0 && centre < 255);
            for (int d = 1; d <= 4; ++d) {
                const int right = qRed(blurred.pixel(20 + d, 20)), below = qRed(blurred.pixel(20, 20 + d));
                QVERIFY(right > 0 && right <= centre && below > 0);
                QCOMPARE(qRed(blurred.pixel(20 - d, 20)), right);
                QCOMPARE(qRed(blurred.pixel(20, 20 - d)), below);
                QVERIFY(qAbs(below - right) <= 1); // rows and columns round in a different order
            }
            QCOMPARE(qRed(blurred.pixel(0, 0)), 0);
        }
    }
};

QTEST_APPLESS_MAIN(TestImageBlur)
#include "TestImageBlur.moc"
