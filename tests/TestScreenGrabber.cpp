#include "ScreenGrabber.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>

// The picture shrunk by the X server must show what Qt's own grab shows, shrunk, on each monitor of
// a screen that spans two: right offsets, right byte order, nothing left over from the last grab.
class TestScreenGrabber : public QObject
{
    Q_OBJECT

    QProcess m_windows[2];

private slots:
    void initTestCase()
    {
        const QList<QScreen*> screens = QGuiApplication::screens();
        QVERIFY2(screens.size() == 2, "expected two monitors (VEILMARK_XVFB_MONITORS=2)");
        // A differently coloured window on each monitor.
        for (int i = 0; i < 2; ++i) {
            const QPoint at = screens[i]->geometry().topLeft() + QPoint(60, 40);
            const QString name = QString("VmGrab%1").arg(i);
            m_windows[i].start("xterm",
                               {"-class", name, "-geometry", QString("60x20+%1+%2").arg(at.x()).arg(at.y()),
                                "-bg", i ? "#204a87" : "#c4a000"});
            QVERIFY(m_windows[i].waitForStarted());
            QCOMPARE(QProcess::execute("xdotool", {"search", "--sync", "--onlyvisible", "--class", name}), 0);
        }
    }

    void cleanupTestCase()
    {
        for (QProcess& window : m_windows) {
            window.kill();
            window.waitForFinished();
        }
    }

    void matchesQtsGrabOnEveryMonitor()
    {
        ScreenGrabber grabber;
        for (QScreen* screen : QGuiApplication::screens()) {
            // Both take the nearest pixel, though not necessarily the same one of each 8 × 8 block:
            // once the terminals have drawn, only the windows' edges may differ.
            int differing = 0;
            const auto matches = [&] {
                const QImage whole = screen->grabWindow(0).toImage();
                const QImage expected = whole.scaled(whole.size() / 8).convertToFormat(QImage::Format_RGB32);
                const QImage grabbed = grabber.grabShrunk(screen, 8).convertToFormat(QImage::Format_RGB32);
                differing = 0;
                for (int y = 0; y < expected.height(); ++y)
                    for (int x = 0; x < expected.width(); ++x)
                        differing += grabbed.pixel(x, y) != expected.pixel(x, y);
                return grabbed.size() == screen->geometry().size() / 8 &&
                       differing < grabbed.width() * grabbed.height() / 50;
            };
            QTRY_VERIFY2(matches(),
                         qPrintable(QString("%1: %2 pixels differ").arg(screen->name()).arg(differing)));
        }
    }
};

QTEST_MAIN(TestScreenGrabber)
#include "TestScreenGrabber.moc"
