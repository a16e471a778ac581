#include "WaylandRig.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

// The rig itself, on whichever compositor the session runs: a client's window is seen on a
// screenshot, typed text reaches the focused client, and activation moves the keyboard.
class TestWaylandRig : public QObject
{
    Q_OBJECT

    WaylandRig rig;
    QTemporaryDir dir;
    const QColor magenta{0xff, 0x00, 0x80};
    const QColor green{0x00, 0xff, 0x80};

    QString keys(const QString& name) const { return dir.filePath(name + ".keys"); }

    // On exactly one output, over a third of it: a window, not a screen of that colour or nothing.
    bool onOneOutput(const QColor& colour)
    {
        QList<double> shares;
        for (int i = 0; i < rig.outputCount(); ++i)
            shares << WaylandRig::share(rig.screenshot(i), colour);
        std::sort(shares.begin(), shares.end());
        return shares.size() == 2 && shares[0] == 0 && shares[1] > 0.3;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(WaylandRig::compositor() != WaylandRig::Compositor::None,
                 "run under tests/wayland/*-session.sh");
        QVERIFY(dir.isValid());
        QCOMPARE(rig.outputCount(), 2);
        const QList<std::pair<int, QSize>> shots = {{0, {1280, 800}}, {1, {1280, 800}}, {-1, {2560, 800}}};
        for (const auto& [output, size] : shots) {
            const QImage shot = rig.screenshot(output);
            QVERIFY2(!shot.isNull(), qPrintable(rig.error()));
            QCOMPARE(shot.size(), size);
        }
    }

    void share_data()
    {
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<double>("expected");
        QTest::newRow("exact") << magenta << 0.5;
        QTest::newRow("within tolerance") << QColor(0xf7, 0x08, 0x88) << 0.5;
        QTest::newRow("red off") << QColor(0xf6, 0x00, 0x80) << 0.0;
        QTest::newRow("green off") << QColor(0xff, 0x09, 0x80) << 0.0;
        QTest::newRow("blue off") << QColor(0xff, 0x00, 0x77) << 0.0;
    }

    void share()
    {
        QFETCH(QColor, colour);
        QFETCH(double, expected);
        QImage image(4, 2, QImage::Format_RGB32);
        image.fill(Qt::black);
        for (int x = 0; x < 4; ++x)
            image.setPixelColor(x, 0, magenta);
        QCOMPARE(WaylandRig::share(image, colour), expected);
    }

    void keysFollowActivation()
    {
        QVERIFY2(rig.launchClient("rig.one", magenta, keys("one")), qPrintable(rig.error()));
        QVERIFY(WaylandRig::waitFor([&] { return onOneOutput(magenta); }));
        QCOMPARE(WaylandRig::share(rig.screenshot(), green), 0.0);

        QVERIFY2(rig.launchClient("rig.two", green, keys("two")), qPrintable(rig.error()));
        QVERIFY(WaylandRig::waitFor([&] { return onOneOutput(green); }));

        // Each step activates one client and types: the text reaches that client alone.
        const struct
        {
            const char* appId;
            const char* text;
            const char* one;
            const char* two;
        } steps[] = {
            {"rig.one", "Hello, rig!", "Hello, rig!", ""},
            {"rig.two", "-a Z 0?", "Hello, rig!", "-a Z 0?"},
            {"rig.one", " more", "Hello, rig! more", "-a Z 0?"},
        };
        for (const auto& step : steps) {
            QVERIFY2(rig.activate(step.appId), qPrintable(rig.error()));
            QVERIFY2(rig.type(step.text), qPrintable(rig.error()));
            QTRY_COMPARE_WITH_TIMEOUT(WaylandRig::keysReceived(keys("one")) + "|" +
                                          WaylandRig::keysReceived(keys("two")),
                                      QString("%1|%2").arg(step.one, step.two), 10000);
        }

        const QList<QJsonObject> windows = rig.windows();
        QCOMPARE(windows.size(), 2);
        for (const QJsonObject& window : windows)
            QCOMPARE(window["focused"].toBool(), window["app_id"].toString() == "rig.one");
        QVERIFY(!rig.activate("rig.none"));
    }
};

QTEST_GUILESS_MAIN(TestWaylandRig)
#include "TestWaylandRig.moc"
