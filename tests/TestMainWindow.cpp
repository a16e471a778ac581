#include "MainWindow.h"
#include "SettingsModel.h"
#include "TrayPanel.h"
#include "UiShell.h"
#include "ViewRig.h"
#include "auth/SessionManager.h"
#include "store/PolicyStore.h"

#include <QApplication>
#include <QDir>
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

    // Tab walks every row of a long list in order, brings each into sight and rings the focused
    // control in either palette (a click focuses without a ring); Space or Return acts on it. An
    // app without protection has no Unlock: its switch comes first.
    void keyboardWalksTheRows_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("appearance");
        QTest::addColumn<int>("key");
        QTest::newRow("apps, light, Space") << "apps"
                                            << "light" << int(Qt::Key_Space);
        QTest::newRow("apps, dark, Return") << "apps"
                                            << "dark" << int(Qt::Key_Return);
        QTest::newRow("folders, dark") << "folders"
                                       << "dark" << 0;
    }
    void keyboardWalksTheRows()
    {
        QFETCH(QString, screen);
        QFETCH(QString, appearance);
        QFETCH(int, key);
        ViewRig rig;
        rig.context->settings()->setAppearance(appearance);
        QList<ProtectedApp> apps;
        QList<ProtectedFolder> folders;
        for (int i = 0; i < 40; ++i) {
            const QString name = QString("row%1").arg(i, 2, 10, QChar('0'));
            apps << testApp(name, name, i % 2 == 0);
            QVERIFY(QDir(rig.home.path()).mkdir(name));
            folders << testFolder(rig.home.path() + "/" + name, false);
        }
        rig.state->policy()->setApps(apps);
        rig.state->policy()->setFolders(folders);
        MainWindow window(*rig.context);
        window.show();
        window.requestActivate();
        QTRY_COMPARE(QGuiApplication::focusWindow(), &window);
        QQuickItem* root = window.contentItem();
        click(one(root, "sidebar-" + screen));
        QCOMPARE(window.activeFocusItem(), one(root, "sidebar-" + screen));
        QVERIFY(!one(window.activeFocusItem(), "focusRing"));
        QQuickItem* list = one(root, screen == "apps" ? "appList" : "folderList");
        QVERIFY(list);
        const QString prefix = screen == "apps" ? "app-row" : "folder-row";
        int reached = -1;
        for (int i = 0; i < 200 && reached < 39; ++i) {
            QTest::keyClick(&window, Qt::Key_Tab);
            QQuickItem* focus = window.activeFocusItem();
            QVERIFY2(one(focus, "focusRing"), qPrintable(focus->objectName()));
            QQuickItem* row = focus;
            while (row && !row->objectName().startsWith(prefix))
                row = row->parentItem();
            if (!row)
                continue;
            const int index = row->objectName().mid(prefix.size()).toInt();
            QVERIFY2(index == reached || index == reached + 1,
                     qPrintable(QString("%1 after %2").arg(index).arg(reached)));
            reached = index;
            const auto shown = [&] {
                const QRectF area = focus->mapRectToItem(list, focus->boundingRect());
                return area.top() >= 0 && area.bottom() <= list->height();
            };
            QTRY_VERIFY2(shown(), qPrintable(row->objectName()));
        }
        QCOMPARE(reached, 39);
        if (key) {
            QCOMPARE(window.activeFocusItem()->objectName(), "protection");
            QTest::keyClick(&window, Qt::Key(key));
            QTRY_VERIFY(isOn(one(root, "app-row39"), "protection"));
        }
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
