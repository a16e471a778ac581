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
Q_IMPORT_QML_PLUGIN(VeilmarkModelsPlugin)

using namespace view;

// The main window and its reopening through the shell (tray, second launch), on a real X server
// with a window manager.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(".+")); }
    // As the application sets it: the tray keeps the process alive.
    void initTestCase() { QGuiApplication::setQuitOnLastWindowClosed(false); }

    void oneWindowSharedWithTheTrayAndReopenedAfterClosing()
    {
        ViewRig rig;
        rig.state->policy()->setApps(
            {{"firefox-esr", "Firefox", "/usr/share/applications/firefox-esr.desktop", true, true}});
        rig.state->sessions()->insertUnlockedApp("firefox-esr");
        UiShell shell(*rig.context);
        shell.showMainWindow();
        QPointer<MainWindow> window = shell.mainWindow();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->title(), "Veilmark");
        QVERIFY(!window->flags().testFlag(Qt::FramelessWindowHint)); // the desktop's own title bar
        QCOMPARE(window->size(), QSize(880, 600));
        QCOMPARE(window->minimumSize(), QSize(880, 600));
        // Larger stretches the content.
        window->resize(1000, 700);
        QTRY_COMPARE(window->rootObject()->size(), QSizeF(1000, 700));

        // Asking again (second launch, tray) brings the same window forward.
        shell.showMainWindow();
        emit rig.context->mainWindowRequested();
        QCOMPARE(shell.mainWindow(), window.data());

        // The tray panel acts on the state the window shows.
        TrayPanel* panel = shell.trayPanel();
        panel->popUp(QRect(600, 0, 24, 24));
        QVERIFY(QTest::qWaitForWindowExposed(panel));
        QQuickItem* row = one(window->contentItem(), "app-firefox-esr");
        QVERIFY(one(row, "relock"));
        QTRY_COMPARE(panel->height(), qRound(panel->rootObject()->height()));
        click(one(one(panel->rootObject(), "trayApp-firefox-esr"), "relock"));
        QVERIFY(one(row, "unlock") && !one(row, "relock"));

        // Ctrl+W closes the window and frees it, but not the process.
        QSignalSpy quitting(qApp, &QCoreApplication::aboutToQuit);
        window->requestActivate();
        QTRY_COMPARE(QGuiApplication::focusWindow(), window.data());
        QTest::keyClick(window.data(), Qt::Key_W, Qt::ControlModifier);
        QTRY_VERIFY(window.isNull());
        QVERIFY(!shell.mainWindow());
        QCOMPARE(quitting.size(), 0);

        // The tray's "Open Veilmark" makes a new one, starting on Apps.
        rig.context->openMainWindow();
        QVERIFY(shell.mainWindow());
        QVERIFY(QTest::qWaitForWindowExposed(shell.mainWindow()));
        QCOMPARE(shell.mainWindow()->rootObject()->property("selection").toString(), "apps");
    }

    void trayIconIsTheShieldSymbol()
    {
        const QImage image = UiShell::symbolIcon("lock.shield.fill", Qt::white).pixmap(32, 32).toImage();
        int drawn = 0;
        for (int i = 0; i < image.width() * image.height(); ++i)
            drawn += qAlpha(image.pixel(i % image.width(), i / image.width())) > 128;
        // A glyph, neither nothing nor a filled square (a missing glyph's box).
        QVERIFY2(drawn > 100 && drawn < 32 * 32 * 3 / 4, qPrintable(QString::number(drawn)));
    }
};

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
