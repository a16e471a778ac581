#include "AppListModel.h"
#include "ModelRig.h"

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

private slots:
    // Both lists follow the store and the sessions; the tray's shows enabled records only. A change
    // of fields keeps the rows (and the views' focus), a change of records resets them.
    void rowsAndCountsFollowTheStoreAndSessions()
    {
        ModelRig rig;
        AppListModel all(*rig.state, false), enabled(*rig.state, true);
        QSignalSpy resets(&all, &QAbstractItemModel::modelReset),
            changes(&all, &QAbstractItemModel::dataChanged), counts(&enabled, &AppListModel::countsChanged);
        rig.policy().setApps({testApp("a", "A"), testApp("b", "B", false), testApp("c", "C")});
        rig.sessions().insertUnlockedApp("c");
        QCOMPARE(rows(all), QStringList({"a", "b off", "c unlocked"}));
        QCOMPARE(rows(enabled), QStringList({"a", "c unlocked"}));
        QCOMPARE(enabled.lockedCount(), 1);
        QCOMPARE(all.lockedCount(), 1);
        QCOMPARE(counts.size(), 2);

        ProtectedApp renamed = testApp("a", "Alpha");
        rig.policy().updateApp(renamed);
        QCOMPARE(all.index(0).data(AppListModel::NameRole).toString(), QString("Alpha"));
        QCOMPARE(resets.size(), 1);
        QCOMPARE(changes.size(), 2); // the unlock, then the rename
        rig.policy().removeApp(renamed);
        QCOMPARE(resets.size(), 2);
        QCOMPARE(rows(enabled), QStringList{"c unlocked"});
        QCOMPARE(enabled.lockedCount(), 0);
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
