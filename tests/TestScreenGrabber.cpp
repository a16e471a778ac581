#include "ScreenGrabber.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>

// The shared-memory grab must give the same picture as Qt's own, on each monitor of a screen that
// spans two: right offsets, right byte order, nothing left over from the previous grab.
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
        const char* colours[] = {"#c4a000", "#204a87"};
        for (int i = 0; i < 2; ++i) {
            const QPoint at = screens[i]->geometry().topLeft() + QPoint(60, 40);
            m_windows[i].start("xterm", {"-class", QString("VmGrab%1").arg(i), "-geometry",
                                         QString("60x20+%1+%2").arg(at.x()).arg(at.y()), "-bg", colours[i]});
            QVERIFY(m_windows[i].waitForStarted());
            QCOMPARE(QProcess::execute("xdotool", {"search", "--sync", "--onlyvisible", "--class",
                                                   QString("VmGrab%1").arg(i)}),
                     0);
        }
        QTest::qWait(200); // let the terminals draw
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
        for (int round = 0; round < 2; ++round) {
            for (QScreen* screen : QGuiApplication::screens()) {
                const QImage expected = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
                const QImage grabbed = grabber.grab(screen).convertToFormat(QImage::Format_RGB32);
                QCOMPARE(grabbed.size(), screen->geometry().size());
                QVERIFY2(grabbed == expected, qPrintable(screen->name()));
            }
        }
    }
};

QTEST_MAIN(TestScreenGrabber)
#include "TestScreenGrabber.moc"
