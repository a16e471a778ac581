#include "AppListModel.h"
#include "ModelRig.h"
#include "ModelSignals.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>

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

    // What the rows should be: the store's records (the enabled ones only for the tray).
    static QStringList expected(ModelRig& rig, bool enabledOnly)
    {
        QStringList out;
        for (const ProtectedApp& app : rig.policy().apps()) {
            if (!enabledOnly || app.enabled)
                out << app.bundleID + (app.enabled ? "" : " off") +
                           (rig.sessions().isAppUnlocked(app.bundleID) ? " unlocked" : "");
        }
        return out;
    }

    struct Case
    {
        std::function<void(ModelRig&)> change;
        QStringList all, enabled;
    };

    static QList<ProtectedApp> start()
    {
        return {testApp("a", "A"), testApp("b", "B", false), testApp("c", "C")};
    }

    // From start(): a change, and the signals of all rows and of the enabled ones.
    static const QMap<QString, Case>& cases()
    {
        static const QMap<QString, Case> table = {
            {"unlock",
             {[](ModelRig& r) { r.sessions().insertUnlockedApp("c"); }, {"change 2-2"}, {"change 1-1"}}},
            {"rename",
             {[](ModelRig& r) { r.policy().updateApp(testApp("a", "Alpha")); },
              {"change 0-0"},
              {"change 0-0"}}},
            {"add",
             {[](ModelRig& r) { r.policy().addApp(testApp("d", "D")); }, {"insert 3-3"}, {"insert 2-2"}}},
            {"remove", {[](ModelRig& r) { r.policy().removeApp(testApp("b", "B")); }, {"remove 1-1"}, {}}},
            {"enable",
             {[](ModelRig& r) { r.policy().updateApp(testApp("b", "B")); }, {"change 1-1"}, {"insert 1-1"}}},
            {"replace",
             {[](ModelRig& r) {
                  r.policy().setApps({testApp("b", "B", false), testApp("d", "D")});
              },
              {"remove 2-2", "remove 0-0", "insert 1-1"},
              {"remove 0-1", "insert 0-0"}}},
            {"reorder",
             {[](ModelRig& r) {
                  r.policy().setApps({start()[2], start()[1], start()[0]});
              },
              {"reset"},
              {"reset"}}},
            {"same again", {[](ModelRig& r) { r.policy().setApps(start()); }, {}, {}}},
        };
        return table;
    }

private slots:
    void rowsFollowTheStoreRowByRow_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString& name : cases().keys())
            QTest::newRow(qPrintable(name)) << name;
    }

    // Both lists follow the store and the sessions row by row: a change to one record reaches its
    // own row only, and only a new order replaces them all. The tray's list shows enabled records.
    void rowsFollowTheStoreRowByRow()
    {
        QFETCH(QString, name);
        const Case& c = cases()[name];
        ModelRig rig;
        rig.policy().setApps(start());
        AppListModel all(*rig.state, false), enabled(*rig.state, true);
        ModelSignals allSignals(&all), enabledSignals(&enabled);
        c.change(rig);
        QCOMPARE(allSignals.take(), c.all);
        QCOMPARE(enabledSignals.take(), c.enabled);
        QCOMPARE(rows(all), expected(rig, false));
        QCOMPARE(rows(enabled), expected(rig, true));
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
