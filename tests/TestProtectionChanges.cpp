#include "ModelRig.h"
#include "app/ProtectionChanges.h"
#include "folders/FolderProtectionEngine.h"
#include "io/AccessControlLock.h"

#include <QDir>
#include <QTest>

using Result = Authenticator::Result;

// Every change that weakens protection waits for proof; cancelled, nothing changes and the
// attempt is recorded. Real coordinator with fakes, a real folder in the temporary home.
class TestProtectionChanges : public QObject
{
    Q_OBJECT

    struct Rig : ModelRig
    {
        bool quitCalled = false;
        QString folderPath = home.path() + "/Work";

        Rig()
        {
            QDir().mkpath(folderPath);
            state->folderEngine()->addFolder(folderPath);
            policy().addApp(testApp("firefox-esr", "Firefox"));
            log().clear();
        }
        // "subject: detail" of what was recorded, oldest first.
        QStringList events() const
        {
            QStringList out;
            for (const LogEvent& e : log().events())
                out.prepend(e.subject + ": " + e.detail);
            return out;
        }
        // What the change may have weakened, in one line.
        QString protection() const
        {
            const VeilmarkSettings& s = policy().settings();
            return QStringLiteral("apps %1, app on %2, folders %3, sleep %4, focus %5, events %6, quit %7")
                .arg(policy().apps().size())
                .arg(!policy().apps().isEmpty() && policy().apps().first().enabled)
                .arg(policy().folders().size())
                .arg(s.relockOnSleepOrScreenLock)
                .arg(s.relockAppsOnFocusLoss)
                .arg(log().events().size())
                .arg(quitCalled);
        }
    };

private slots:
    void waitsForProof_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("proven"); // protection() after a successful prompt
        QTest::addColumn<QString>("recorded");
        QTest::newRow("app off") << "app off"
                                 << "turn off protection for Firefox"
                                 << "apps 1, app on 0, folders 1, sleep 1, focus 1, events 1, quit 0"
                                 << "Firefox: Protection turned off";
        QTest::newRow("remove app") << "remove app"
                                    << "remove protection from Firefox"
                                    << "apps 0, app on 0, folders 1, sleep 1, focus 1, events 1, quit 0"
                                    << "Firefox: Protection removed";
        QTest::newRow("remove folder") << "remove folder"
                                       << "remove protection from Work"
                                       << "apps 1, app on 1, folders 0, sleep 1, focus 1, events 1, quit 0"
                                       << "Work: Protection removed";
        QTest::newRow("sleep relock off") << "sleep off"
                                          << "turn off relocking when the computer sleeps or the screen locks"
                                          << "apps 1, app on 1, folders 1, sleep 0, focus 1, events 1, quit 0"
                                          << "Relock on sleep or screen lock: Turned off";
        QTest::newRow("focus relock off") << "focus off"
                                          << "turn off relocking apps when they lose focus"
                                          << "apps 1, app on 1, folders 1, sleep 1, focus 0, events 1, quit 0"
                                          << "Relock apps on focus loss: Turned off";
        QTest::newRow("clear log") << "clear"
                                   << "clear the activity log"
                                   << "apps 1, app on 1, folders 1, sleep 1, focus 1, events 1, quit 0"
                                   << "Activity log: Cleared";
        QTest::newRow("quit") << "quit"
                              << "quit and stop protecting your apps and folders"
                              << "apps 1, app on 1, folders 1, sleep 1, focus 1, events 1, quit 1"
                              << "Veilmark: Quit from the window";
    }

    void waitsForProof()
    {
        QFETCH(QString, change);
        QFETCH(QString, reason);
        QFETCH(QString, proven);
        QFETCH(QString, recorded);
        for (const Result result : {Result::userCancel, Result::success}) {
            Rig rig;
            ProtectionChanges& changes = *rig.state->changes();
            const ProtectedApp app = rig.policy().apps().first();
            const ProtectedFolder folder = rig.policy().folders().first();
            const QString before = rig.protection();
            const QMap<QString, std::function<void()>> changesByName{
                {"app off", [&] { changes.setAppProtection(app, false); }},
                {"remove app", [&] { changes.removeApp(app); }},
                {"remove folder", [&] { changes.removeFolder(folder); }},
                {"sleep off",
                 [&] {
                     changes.setRelockSetting(ProtectionChanges::RelockSetting::onSleepOrScreenLock, false);
                 }},
                {"focus off",
                 [&] { changes.setRelockSetting(ProtectionChanges::RelockSetting::appsOnFocusLoss, false); }},
                {"clear", [&] { changes.clearLog(); }},
                {"quit", [&] { changes.quit([&] { rig.quitCalled = true; }); }},
            };
            changesByName.value(change)();
            // Nothing happens while the prompt is open.
            QCOMPARE(rig.protection(), before);
            QCOMPARE(rig.authenticator.calls.size(), 1);
            QCOMPARE(rig.authenticator.calls.first().reason, reason);
            rig.authenticator.reply(result);
            if (result == Result::success) {
                QCOMPARE(rig.protection(), proven);
                QCOMPARE(rig.events().last(), recorded);
            } else {
                QCOMPARE(rig.protection().section(", events", 0, 0), before.section(", events", 0, 0));
                QCOMPARE(rig.events(), QStringList(recorded.section(':', 0, 0) +
                                                   ": Not changed — Authentication cancelled"));
            }
            QCOMPARE(AccessControlLock::isAccessible(rig.folderPath),
                     change == "remove folder" && result == Result::success);
        }
    }

    // Strengthening, and quitting with nothing protected, need no proof.
    void strengtheningIsImmediate()
    {
        Rig rig;
        ProtectionChanges& changes = *rig.state->changes();
        VeilmarkSettings settings = rig.policy().settings();
        settings.relockOnSleepOrScreenLock = false;
        rig.policy().setSettings(settings);
        ProtectedApp app = rig.policy().apps().first();
        app.enabled = false;
        rig.policy().updateApp(app);
        changes.setAppProtection(app, true);
        changes.setRelockSetting(ProtectionChanges::RelockSetting::onSleepOrScreenLock, true);
        QCOMPARE(rig.protection(), "apps 1, app on 1, folders 1, sleep 1, focus 1, events 2, quit 0");
        rig.policy().setApps({});
        rig.policy().setFolders({});
        changes.quit([&] { rig.quitCalled = true; });
        QVERIFY(rig.quitCalled);
        QVERIFY(rig.authenticator.calls.isEmpty());
        QCOMPARE(rig.events(), QStringList({"Firefox: Locked", "Relock on sleep or screen lock: Turned on"}));
    }
};

QTEST_GUILESS_MAIN(TestProtectionChanges)
#include "TestProtectionChanges.moc"
