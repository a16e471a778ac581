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
            const QRgb expected = image.pixel(0, 0);
            for (int y = 0; y < blurred.height(); ++y)
                for (int x = 0; x < blurred.width(); ++x)
                    QCOMPARE(blurred.pixel(x, y), expected);
        }
    }

    // A bright dot spreads evenly along rows and columns; the backdrop keeps its size.
    void dotSpreadsEvenlyAndBackdropShrinks()
    {
        QImage image(41, 41, QImage::Format_RGB32);
        image.fill(Qt::black);
        image.setPixel(20, 20, qRgb(255, 255, 255));
        const QImage blurred = ImageBlur::blurred(image, 6);
        const int centre = qRed(blurred.pixel(20, 20));
        QVERIFY(centre > 0 && centre < 255);
        for (int d = 1; d <= 4; ++d) {
            const int right = qRed(blurred.pixel(20 + d, 20));
            QVERIFY(right > 0 && right <= centre);
            const int below = qRed(blurred.pixel(20, 20 + d));
            QCOMPARE(qRed(blurred.pixel(20 - d, 20)), right);
            QCOMPARE(qRed(blurred.pixel(20, 20 - d)), below);
            QVERIFY(qAbs(below - right) <= 1); // rows and columns round in a different order
            QVERIFY(below > 0);
        }
        QCOMPARE(qRed(blurred.pixel(0, 0)), 0);

        QImage shrunk(160, 100, QImage::Format_RGB32);
        shrunk.fill(QColor(32, 74, 135));
        const QImage backdrop = ImageBlur::backdrop(shrunk);
        QCOMPARE(backdrop.size(), shrunk.size());
        QCOMPARE(backdrop.pixel(80, 50), shrunk.pixel(0, 0));
    }
};

QTEST_APPLESS_MAIN(TestImageBlur)
#include "TestImageBlur.moc"
