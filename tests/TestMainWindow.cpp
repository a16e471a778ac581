#include "MainWindow.h"
#include "TrayPanel.h"
#include "UiShell.h"
#include "ViewRig.h"
#include "auth/SessionManager.h"
#include "store/PolicyStore.h"

#include <QApplication>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtQml/QQmlExtensionPlugin>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)

using namespace view;

// The main window and its reopening through the shell (tray, second launch), on a real X server
// with a window manager.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(".+")); }
    void initTestCase() { QGuiApplication::setQuitOnLastWindowClosed(false); }

    void opensFramelessAtItsMinimumSize()
    {
        ViewRig rig;
        UiShell shell(*rig.context);
        shell.showMainWindow();
        MainWindow* window = shell.mainWindow();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->title(), "Veilmark");
        QVERIFY(window->flags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(window->size(), QSize(880, 600));
        QCOMPARE(window->minimumSize(), QSize(880, 600));
        QCOMPARE(window->rootObject()->size(), QSizeF(880, 600));
        // Smaller is refused; larger stretches the content.
        window->resize(500, 300);
        QTest::qWait(300);
        QTRY_VERIFY(window->width() >= 880 && window->height() >= 600);
        window->resize(1000, 700);
        QTRY_COMPARE(window->rootObject()->size(), QSizeF(1000, 700));
    }

    void oneWindowReopenedAfterClosing()
    {
        ViewRig rig;
        UiShell shell(*rig.context);
        shell.showMainWindow();
        QPointer<MainWindow> first = shell.mainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(first));
        // Asking again (second launch, tray) brings the same window forward.
        shell.showMainWindow();
        emit rig.context->mainWindowRequested();
        QCOMPARE(shell.mainWindow(), first.data());

        // Closing frees the window but not the process; Ctrl+W closes too.
        QSignalSpy quitting(qApp, &QCoreApplication::aboutToQuit);
        first->requestActivate();
        QTRY_COMPARE(QGuiApplication::focusWindow(), first.data());
        QTest::keyClick(first.data(), Qt::Key_W, Qt::ControlModifier);
        QTRY_VERIFY(first.isNull());
        QVERIFY(!shell.mainWindow());
        QTest::qWait(100);
        QCOMPARE(quitting.size(), 0);

        // The tray's "Open Veilmark" makes a new one, starting on Apps.
        rig.context->openMainWindow();
        QVERIFY(shell.mainWindow());
        QVERIFY(QTest::qWaitForWindowExposed(shell.mainWindow()));
        QCOMPARE(shell.mainWindow()->rootObject()->property("selection").toString(), "apps");
    }

    void windowAndTraySeeTheSameState()
    {
        ViewRig rig;
        rig.state->policy()->setApps(
            {{"firefox-esr", "Firefox", "/usr/share/applications/firefox-esr.desktop", true, true}});
        rig.state->sessions()->insertUnlockedApp("firefox-esr");
        UiShell shell(*rig.context);
        shell.showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(shell.mainWindow()));
        TrayPanel* panel = shell.trayPanel();
        panel->popUp(QRect(600, 0, 24, 24));
        QVERIFY(QTest::qWaitForWindowExposed(panel));
        QQuickItem* row = one(shell.mainWindow()->contentItem(), "app-firefox-esr");
        QVERIFY(one(row, "relock"));
        QTRY_COMPARE(panel->height(), qRound(panel->rootObject()->height()));
        click(one(one(panel->rootObject(), "trayApp-firefox-esr"), "relock"));
        QVERIFY(one(row, "unlock"));
        QVERIFY(!one(row, "relock"));
    }

    void trayIconIsTheShieldSymbol()
    {
        const QIcon icon = UiShell::symbolIcon("lock.shield.fill", Qt::white);
        const QImage image = icon.pixmap(32, 32).toImage();
        int drawn = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                drawn += qAlpha(image.pixel(x, y)) > 128;
        }
        // A glyph, neither nothing nor a filled square (a missing glyph's box).
        QVERIFY2(drawn > 100 && drawn < 32 * 32 * 3 / 4, qPrintable(QString::number(drawn)));
    }
};

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
