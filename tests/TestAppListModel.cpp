#include "AppListModel.h"
#include "ModelRig.h"
#include "ModelSignals.h"

#include <QSignalSpy>
#include <QTest>

using Result = Authenticator::Result;

// The application rows over a real coordinator with fakes: what they show and what their actions do.
class TestAppListModel : public QObject
{
    Q_OBJECT

    static QStringList rows(const AppListModel& model)
    {
        QStringList out;
        for (int i = 0; i < model.rowCount(); ++i) {
            const QModelIndex index = model.index(i);
            out << index.data(AppListModel::BundleIdRole).toString() +
                       (index.data(AppListModel::EnabledRole).toBool() ? "" : " off") +
                       (index.data(AppListModel::UnlockedRole).toBool() ? " unlocked" : "");
        }
        return out;
    }

    // "a=Alpha, b off, c*": app "a" named "Alpha", app "b" named "B" turned off, app "c" unlocked.
    static void store(ModelRig& rig, const QString& stored)
    {
        QList<ProtectedApp> apps;
        QSet<QString> unlocked;
        for (QString item : stored.split(", ", Qt::SkipEmptyParts)) {
            const bool off = item.endsWith(" off");
            item = item.section(' ', 0, 0);
            if (item.endsWith('*'))
                unlocked.insert(item.chopped(1));
            const QString id = item.section('=', 0, 0).remove('*');
            apps << testApp(id, item.contains('=') ? item.section('=', 1).remove('*') : id.toUpper(), !off);
        }
        rig.policy().setApps(apps);
        rig.sessions().setUnlockedApps(unlocked);
    }

private slots:
    void rowsFollowTheStoreRowByRow_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("all");
        QTest::addColumn<QStringList>("enabled");
        using L = QStringList;
        QTest::newRow("unlock") << "a, b off, c*" << L{"change 2-2"} << L{"change 1-1"};
        QTest::newRow("rename") << "a=Alpha, b off, c" << L{"change 0-0"} << L{"change 0-0"};
        QTest::newRow("add") << "a, b off, c, d" << L{"insert 3-3"} << L{"insert 2-2"};
        QTest::newRow("remove") << "a, c" << L{"remove 1-1"} << L{};
        QTest::newRow("enable") << "a, b, c" << L{"change 1-1"} << L{"insert 1-1"};
        QTest::newRow("replace") << "b off, d" << L{"remove 2-2", "remove 0-0", "insert 1-1"}
                                 << L{"remove 0-1", "insert 0-0"};
        QTest::newRow("reorder") << "c, b off, a" << L{"reset"} << L{"reset"};
        QTest::newRow("same again") << "a, b off, c" << L{} << L{};
    }

    // Both lists follow the store and the sessions row by row, starting from "a, b off, c": a
    // change to one record reaches its own row only, and only a new order replaces them all. The
    // tray's list shows the enabled records.
    void rowsFollowTheStoreRowByRow()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, all);
        QFETCH(QStringList, enabled);
        ModelRig rig;
        store(rig, "a, b off, c");
        AppListModel allModel(*rig.state, false), enabledModel(*rig.state, true);
        ModelSignals allSignals(&allModel), enabledSignals(&enabledModel);
        store(rig, stored);
        QCOMPARE(allSignals.take(), all);
        QCOMPARE(enabledSignals.take(), enabled);
        // Row by row, they end where lists made afresh start.
        QCOMPARE(rows(allModel), rows(AppListModel(*rig.state, false)));
        QCOMPARE(rows(enabledModel), rows(AppListModel(*rig.state, true)));
    }

    // Locked counts only enabled records that are not unlocked, and changes are announced.
    void lockedCount()
    {
        ModelRig rig;
        AppListModel all(*rig.state, false), enabled(*rig.state, true);
        QSignalSpy counts(&enabled, &AppListModel::countsChanged);
        rig.policy().setApps({testApp("a", "A"), testApp("b", "B", false), testApp("c", "C")});
        rig.sessions().insertUnlockedApp("c");
        QCOMPARE(enabled.lockedCount(), 1);
        QCOMPARE(all.lockedCount(), 1);
        QCOMPARE(counts.size(), 2);
        rig.policy().removeApp(testApp("a", "A"));
        QCOMPARE(enabled.lockedCount(), 0);
        QCOMPARE(counts.size(), 3);
    }

    // Each action reaches the engine for the record of that row; an unknown ID does nothing.
    void actionsActOnTheirRecord()
    {
        ModelRig rig;
        rig.installed.applications = {{"mail", "Mail", "/apps/mail.desktop"}};
        rig.installed.icons["/apps/mail.desktop"] = QImage(4, 4, QImage::Format_ARGB32);
        rig.policy().setApps({testApp("a", "A")});
        AppListModel model(*rig.state, false);
        QCOMPARE(model.addDesktopEntries({"/apps/mail.desktop", "/apps/none.desktop"}), 1);
        QVERIFY(model.index(1).data(AppListModel::HasIconRole).toBool());
        QVERIFY(!model.index(0).data(AppListModel::HasIconRole).toBool());

        rig.authenticator.script = {Result::success};
        model.unlock("a");
        model.unlock("nobody");
        QTRY_VERIFY(rig.sessions().isAppUnlocked("a"));
        QCOMPARE(rig.authenticator.calls.size(), 1);
        QCOMPARE(rig.installed.launched, QStringList{testApp("a", "A").appPath});
        model.relock("a");
        QVERIFY(!rig.sessions().isAppUnlocked("a"));
        // Weakening waits for proof.
        rig.authenticator.script = {Result::success, Result::success};
        model.setProtection("a", false);
        QTRY_VERIFY(!rig.policy().apps()[0].enabled);
        model.remove("a");
        model.remove("nobody");
        QTRY_COMPARE(rig.authenticator.calls.size(), 3);
        QTRY_COMPARE(rows(model), QStringList{"mail"});
        QCOMPARE(rig.log().events().first().detail, QString("Protection removed"));
    }
};

QTEST_GUILESS_MAIN(TestAppListModel)
#include "TestAppListModel.moc"
