#include "MainWindow.h"
#include "TabOrder.h"
#include "TrayPanel.h"
#include "ViewRig.h"
#include "store/PolicyStore.h"

#include <QApplication>
#include <QRegularExpression>
#include <QtQml/QQmlExtensionPlugin>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)
Q_IMPORT_QML_PLUGIN(VeilmarkModelsPlugin)

using namespace view;

// Tab through the long lists of the main window and the tray panel, on a real X server: the
// keyboard reaches every row's controls row after row, far past the rows first made, and the
// focused control is always in sight.
class TestTabOrder : public QObject
{
    Q_OBJECT

    // Presses Tab (or Shift+Tab) `presses` times and returns the rows reached, each once, in order.
    static QStringList walk(QQuickWindow& window, const QString& listName, const QString& rowPrefix,
                            int presses, bool forward = true)
    {
        QStringList rows;
        QQuickItem* list = one(window.contentItem(), listName);
        for (int i = 0; i < presses; ++i) {
            QTest::keyClick(&window, forward ? Qt::Key_Tab : Qt::Key_Backtab,
                            forward ? Qt::NoModifier : Qt::ShiftModifier);
            QTest::qWait(20); // the list scrolls and makes the next rows on its next frame
            QQuickItem* focus = window.activeFocusItem();
            QQuickItem* row = focus;
            while (row && !row->objectName().startsWith(rowPrefix))
                row = row->parentItem();
            if (!row)
                return rows << "outside the list: " + (focus ? focus->objectName() : "nothing");
            const QRectF shown = focus->mapRectToItem(list, focus->boundingRect());
            if (shown.top() < 0 || shown.bottom() > list->height())
                return rows << row->objectName() + " out of sight";
            if (rows.value(rows.size() - 1) != row->objectName())
                rows << row->objectName();
        }
        return rows;
    }

    static QStringList names(const QString& prefix, int from, int to)
    {
        QStringList out;
        for (int i = from; from <= to ? i <= to : i >= to; i += from <= to ? 1 : -1)
            out << prefix + QString::number(i);
        return out;
    }

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(".+")); }

    void foldersScreen()
    {
        ViewRig rig;
        QList<ProtectedFolder> folders;
        for (int i = 0; i < 40; ++i) {
            QVERIFY(QDir().mkpath(rig.home.path() + "/F" + QString::number(i)));
            folders << testFolder(rig.home.path() + "/F" + QString::number(i), false);
        }
        rig.state->policy()->setFolders(folders);
        MainWindow window(*rig.context);
        window.show();
        window.requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        click(one(window.contentItem(), "sidebar-folders"));
        one(window.contentItem(), "addFolder")->forceActiveFocus(Qt::TabFocusReason);
        // Lock and Remove on each row; five rows are in sight at first.
        QCOMPARE(walk(window, "folderList", "folder-", 60), names("folder-F", 0, 29));
        QCOMPARE(walk(window, "folderList", "folder-", 40, false), names("folder-F", 29, 9));
        // From above the list, Tab enters at the rows in sight, not at the top of the list.
        one(window.contentItem(), "addFolder")->forceActiveFocus(Qt::TabFocusReason);
        QVERIFY(!walk(window, "folderList", "folder-", 1).contains("folder-F0"));
    }

    void trayPanel()
    {
        ViewRig rig;
        QList<ProtectedApp> apps;
        for (int i = 0; i < 40; ++i)
            apps << testApp("a" + QString::number(i), "App " + QString::number(i));
        rig.state->policy()->setApps(apps);
        TrayPanel panel(*rig.context);
        panel.popUp(QRect(600, 0, 24, 24));
        QVERIFY(QTest::qWaitForWindowActive(&panel));
        // One action per row; about a dozen rows are in sight.
        QCOMPARE(walk(panel, "trayList", "trayApp-", 30), names("trayApp-a", 0, 29));
        QCOMPARE(walk(panel, "trayList", "trayApp-", 20, false), names("trayApp-a", 28, 9));
    }
};

QTEST_MAIN(TestTabOrder)
#include "TestTabOrder.moc"
