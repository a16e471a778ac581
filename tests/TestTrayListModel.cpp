#include "ModelRig.h"
#include "ModelSignals.h"
#include "TrayListModel.h"
#include "folders/FolderProtectionEngine.h"
#include "model/JsonFields.h"

#include <QDir>
#include <QTest>

// The tray panel's rows over a real coordinator with fakes and real directories (permission
// checks in force: CTest drops root's bypass).
class TestTrayListModel : public QObject
{
    Q_OBJECT

    static QStringList rows(const TrayListModel& model)
    {
        QStringList out;
        for (int i = 0; i < model.rowCount(); ++i) {
            const QModelIndex index = model.index(i);
            out << QStringList{index.data(TrayListModel::KindRole).toString(),
                               index.data(TrayListModel::NameRole).toString(),
                               index.data(TrayListModel::LockedRole).toBool() ? "locked" : "open",
                               index.data(TrayListModel::ProblemRole).toString()}
                       .join(' ')
                       .trimmed();
        }
        return out;
    }

private slots:
    // Enabled applications, then enabled folders, as the sessions and the disk have them; one
    // record's new state changes its own row.
    void enabledAppsThenFoldersRowByRow()
    {
        ModelRig rig;
        const QString work = rig.home.path() + "/Work";
        QVERIFY(QDir().mkpath(work));
        rig.policy().setApps({testApp("a", "A"), testApp("b", "B", false), testApp("c", "C")});
        rig.sessions().insertUnlockedApp("c");
        rig.state->folderEngine()->addFolder(work);
        rig.policy().addFolder(testFolder("/nonexistent/Off", true, false));
        rig.policy().addFolder(testFolder("/nonexistent/Gone", true));
        TrayListModel model(*rig.state);
        QCOMPARE(rows(model), QStringList({"app A locked", "app C open", "folder Work locked",
                                           "folder Gone open Missing"}));
        QCOMPARE(model.index(0).data(TrayListModel::IdRole).toString(), "a");
        QCOMPARE(model.index(2).data(TrayListModel::IdRole).toString(),
                 JsonFields::uuidText(rig.policy().folders()[0].id));

        ModelSignals shown(&model);
        rig.sessions().removeUnlockedApp("c");
        QCOMPARE(shown.take(), QStringList{"change 1-1"});
        // Moved away behind Veilmark's back: only the folder engine's probe tells.
        QVERIFY(QDir().rename(work, work + "2"));
        QTRY_COMPARE(rows(model).value(2), "folder Work open Missing");
        QCOMPARE(shown.take(), QStringList{"change 2-2"});
        QVERIFY(QDir().rename(work + "2", work));
        rig.policy().updateApp(testApp("b", "B"));
        QCOMPARE(shown.take(), QStringList{"insert 1-1"});
    }
};

QTEST_GUILESS_MAIN(TestTrayListModel)
#include "TestTrayListModel.moc"
