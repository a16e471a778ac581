#include "FolderListModel.h"
#include "ModelRig.h"
#include "ModelSignals.h"
#include "io/AccessControlLock.h"
#include "model/JsonFields.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

using Result = Authenticator::Result;

// The folder rows over a real coordinator with fakes and real directories (permission checks in
// force: CTest drops root's bypass).
class TestFolderListModel : public QObject
{
    Q_OBJECT

private slots:
    void displayPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("shown");
        QTest::newRow("below the home") << "/home/ann/Taxes"
                                        << "/home/ann"
                                        << "~/Taxes";
        QTest::newRow("the home") << "/home/ann"
                                  << "/home/ann"
                                  << "~";
        QTest::newRow("a sibling that shares the prefix") << "/home/anna/Taxes"
                                                          << "/home/ann"
                                                          << "/home/anna/Taxes";
        QTest::newRow("elsewhere") << "/srv/Team"
                                   << "/home/ann"
                                   << "/srv/Team";
        QTest::newRow("home is the root") << "/srv/Team"
                                          << "/"
                                          << "/srv/Team";
    }

    void displayPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, home);
        QFETCH(QString, shown);
        QCOMPARE(FolderListModel::displayPath(path, home), shown);
    }

    // Rows follow the store (the tray's only enabled ones); each action finds its record by ID and
    // reaches the engine; what is shown and counted locked is what the engine finds on disk. A
    // folder's new state changes its own row, never the whole list.
    void rowsCountsAndActions()
    {
        ModelRig rig;
        const QString work = rig.home.path() + "/Work";
        QVERIFY(QDir().mkpath(work));
        FolderListModel all(*rig.state, rig.home.path(), false), enabled(*rig.state, rig.home.path(), true);
        QSignalSpy counts(&enabled, &FolderListModel::countsChanged);
        all.addFolders({work, "/"});
        rig.policy().addFolder(testFolder("/nonexistent/Off", true, false));
        QCOMPARE(all.count(), 2);
        QCOMPARE(enabled.count(), 1);
        QCOMPARE(enabled.lockedCount(), 1);
        QCOMPARE(all.lockedCount(), 1);
        QCOMPARE(all.index(0).data(FolderListModel::DisplayPathRole).toString(), QString("~/Work"));
        QVERIFY(!AccessControlLock::isAccessible(work));
        const QString id = all.index(0).data(FolderListModel::IdRole).toString();
        QVERIFY(JsonFields::parseUuid(id));

        ModelSignals shown(&all);
        rig.authenticator.script = {Result::success};
        all.unlock(id);
        QTRY_VERIFY(!all.index(0).data(FolderListModel::LockedRole).toBool());
        QCOMPARE(shown.take(), QStringList{"change 0-0"});
        QCOMPARE(enabled.lockedCount(), 0);
        QVERIFY(AccessControlLock::isAccessible(work));
        all.lock(id);
        QVERIFY(all.index(0).data(FolderListModel::LockedRole).toBool());
        // What the row says is what is on disk: renamed away, the folder is not counted locked.
        const auto row = [&](int role) { return all.index(0).data(role); };
        QVERIFY(QDir().rename(work, work + "2"));
        QTRY_COMPARE(row(FolderListModel::StateRole).toString(), "Missing");
        QCOMPARE(row(FolderListModel::ProblemRole).toString(), "nothing is at " + work);
        QVERIFY(row(FolderListModel::UnreachableRole).toBool() && !row(FolderListModel::LockedRole).toBool());
        QCOMPARE(enabled.lockedCount(), 0);
        QVERIFY(QDir().rename(work + "2", work));
        QTRY_COMPARE(row(FolderListModel::StateRole).toString(), "Locked");
        QCOMPARE(row(FolderListModel::ProblemRole).toString(), "");
        QCOMPARE(shown.take(), QStringList({"change 0-0", "change 0-0", "change 0-0"}));
        for (const QString& bad :
             QStringList{"", "not-a-uuid", QUuid::createUuid().toString(QUuid::WithoutBraces)})
            all.remove(bad);
        QCOMPARE(all.count(), 2);
        rig.authenticator.script = {Result::success};
        all.remove(id);
        QTRY_COMPARE(enabled.count(), 0);
        QCOMPARE(shown.take().last(), "remove 0-0");
        QVERIFY(AccessControlLock::isAccessible(work));
        QVERIFY(counts.size() >= 3);
    }
};

QTEST_GUILESS_MAIN(TestFolderListModel)
#include "TestFolderListModel.moc"
