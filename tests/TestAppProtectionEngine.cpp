#include "TestDataHome.h"
#include "apps/AppProtectionEngine.h"
#include "apps/OverlayManager.h"
#include "auth/AuthenticationService.h"
#include "auth/KeychainService.h"
#include "auth/SessionManager.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeInstalledApps.h"
#include "fakes/FakeSecretStore.h"
#include "fakes/FakeShieldDisplay.h"
#include "fakes/FakeWorkspace.h"
#include "io/AccessControlLock.h"
#include "store/EventLog.h"
#include "store/PolicySnapshot.h"
#include "store/PolicyStore.h"

#include <QTest>

using Result = Authenticator::Result;
using Policy = Authenticator::Policy;

// The engine against a scripted desktop, shield and prompt (answered at once by reply()). Desktop
// entries are real files in a temporary directory, checked with permission checks in force (CTest
// drops root's bypass).
class TestAppProtectionEngine : public QObject
{
    Q_OBJECT

    struct Rig
    {
        TestDataHome home;
        QTemporaryDir entries;
        FakeClock clock;
        FakeAuthenticator authenticator;
        FakeSecretStore secrets;
        KeychainService keychain{secrets};
        FakeWorkspace workspace;
        FakeInstalledApps installed;
        FakeShieldDisplay display;
        PolicyStore policy;
        EventLog log;
        SessionManager sessions{clock};
        AuthenticationService auth{authenticator, keychain};
        OverlayManager overlay{display};
        AppProtectionEngine engine{policy, auth, sessions, overlay, log, workspace, installed};
        ProtectedApp firefox = app("firefox-esr", "Firefox");

        ProtectedApp app(const QString& id, const QString& name)
        {
            const QString path = entries.filePath(id + ".desktop");
            QFile(path).open(QIODevice::WriteOnly);
            installed.applications.append({id, name, path});
            return {id, name, path, true, true};
        }
        ~Rig()
        {
            for (const ProtectedApp& a : policy.apps())
                AccessControlLock::unlockAndVerify(a.appPath);
        }
        // What the log recorded since the last call, oldest first, as "kind|subject|detail".
        QStringList events()
        {
            QStringList out;
            for (const LogEvent& e : log.events())
                out.prepend(rawValue(e.kind) + "|" + e.subject + "|" + e.detail);
            log.clear();
            return out;
        }
        bool readable(const ProtectedApp& a) const { return AccessControlLock::isAccessible(a.appPath); }
        bool unlocked() const { return sessions.isAppUnlocked("firefox-esr"); }
    };

private slots:
    // Each state of a protected application against each event the desktop reports. The outcome
    // lists what was done to the application, then whether a shield went up, a prompt opened, the
    // shield took the keyboard back, the application was relocked, then what was recorded.
    void eventsInEachState_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("event");
        QTest::addColumn<QStringList>("outcome");
        const QStringList shield{"hide firefox-esr", "shield", "prompt"};
        const QStringList behind{"hide firefox-esr", "raise shield"}; // nothing recorded, no new prompt
        const QStringList lostFocus{"hide firefox-esr", "relock", "appRelocked|Firefox|Lost focus"};
        const QList<std::tuple<const char*, QStringList, QStringList, QStringList, QStringList>> rows{
            // state: launch, activate, deactivate, terminate
            {"locked", shield, shield, {}, {}},
            {"unlocked", {}, {}, lostFocus, {"relock"}},
            // Focus loss relocks only with both the global and the application's switch on.
            {"unlocked, global off", {}, {}, {}, {"relock"}},
            {"unlocked, app off", {}, {}, {}, {"relock"}},
            {"shield up", behind, behind, {}, {}}};
        for (const auto& [state, launch, activate, deactivate, terminate] : rows) {
            QTest::addRow("%s, launch", state) << QString(state) << "launch" << launch;
            QTest::addRow("%s, activate", state) << QString(state) << "activate" << activate;
            QTest::addRow("%s, deactivate", state) << QString(state) << "deactivate" << deactivate;
            QTest::addRow("%s, terminate", state) << QString(state) << "terminate" << terminate;
        }
    }

    void eventsInEachState()
    {
        QFETCH(QString, state);
        QFETCH(QString, event);
        QFETCH(QStringList, outcome);
        Rig rig;
        rig.firefox.relockOnFocusLoss = state != "unlocked, app off";
        rig.policy.addApp(rig.firefox);
        VeilmarkSettings settings = rig.policy.settings();
        settings.relockAppsOnFocusLoss = state != "unlocked, global off";
        rig.policy.setSettings(settings);
        rig.engine.start();
        if (state != "locked") {
            rig.workspace.appLaunches("firefox-esr");
            rig.authenticator.reply(state.startsWith("unlocked") ? Result::success : Result::userCancel);
        }
        const bool wasUnlocked = rig.unlocked();
        const qsizetype actions = rig.workspace.actions.size(), calls = rig.authenticator.calls.size();
        const int shows = rig.display.shows, activations = rig.display.activations;
        rig.events();

        event == "launch"       ? rig.workspace.appLaunches("firefox-esr")
        : event == "activate"   ? rig.workspace.appActivates("firefox-esr")
        : event == "deactivate" ? rig.workspace.appDeactivates("firefox-esr")
                                : rig.workspace.appQuits("firefox-esr");
        QStringList seen = rig.workspace.actions.mid(actions);
        for (const auto& [happened, what] : {std::pair{rig.display.shows > shows, "shield"},
                                             {rig.authenticator.calls.size() > calls, "prompt"},
                                             {rig.display.activations > activations, "raise shield"},
                                             {wasUnlocked && !rig.unlocked(), "relock"}})
            if (happened)
                seen << what;
        QCOMPARE(seen + rig.events(), outcome);
        // The entry on disk is readable exactly while the application counts as unlocked.
        QCOMPARE(rig.readable(rig.firefox), rig.unlocked());
        rig.authenticator.reply(Result::userCancel);
    }

    void shieldAndPrompt()
    {
        Rig rig;
        rig.policy.addApp(rig.firefox);
        rig.engine.start();
        // The running application's icon first, else the one its entry names.
        rig.installed.icons[rig.firefox.appPath] = QImage(8, 8, QImage::Format_ARGB32);
        rig.workspace.icons["firefox-esr"] = QImage(16, 16, QImage::Format_ARGB32);
        rig.workspace.appLaunches("firefox-esr");
        ShieldModel& model = rig.overlay.model();
        QCOMPARE(model.icon().width(), 16);
        // The prompt opens with the shield, without a click; Unlock while it is open does nothing.
        model.requestUnlock();
        QCOMPARE(rig.authenticator.calls.size(), 1);
        QVERIFY(model.isAuthenticating());

        // Cancelled from the prompt: the shield stays and takes the keyboard back, nothing is
        // recorded. A failure is shown.
        const int raised = rig.display.activations;
        rig.authenticator.reply(Result::userCancel);
        QVERIFY(!model.failed() && !model.isAuthenticating() && rig.display.windows == 2);
        QCOMPARE(rig.display.activations, raised + 1);
        model.requestUnlock();
        rig.authenticator.reply(Result::fingerprintFailed);
        QVERIFY(model.failed());
        model.requestPassword();
        QCOMPARE(rig.authenticator.calls.last().policy, Policy::deviceOwner);
        rig.authenticator.reply(Result::userCancel);

        // Cancel on the shield: it goes, the application stays hidden and locked until next time.
        model.cancel();
        QVERIFY(rig.display.windows == 0 && rig.workspace.hidden.contains("firefox-esr"));
        rig.workspace.actions.clear();
        rig.workspace.appActivates("firefox-esr");
        rig.authenticator.reply(Result::success);
        QVERIFY(rig.display.shows == 2 && rig.display.windows == 0 && rig.readable(rig.firefox));
        QCOMPARE(rig.workspace.actions.mid(1), QStringList({"unhide firefox-esr", "activate firefox-esr"}));
        QCOMPARE(rig.events(), QStringList({"appAuthFailed|Firefox|Fingerprint not recognized — try again",
                                            "appRelocked|Firefox|Unlock cancelled", "appUnlocked|Firefox|"}));
    }

    // One shield at a time, whatever the order: a shield whose prompt is closed gives way to the next
    // application, and the one it was for gets its own shield when it comes forward again. While a
    // prompt is open, another application goes behind the shield and waits its turn.
    void shieldsOneAtATime_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("A dismissed, B unlocked, A again")
            << QStringList{"firefox-esr", "cancel prompt", "mail", "unlock", "firefox-esr"}
            << "Firefox, prompt, mail open";
        QTest::newRow("A dismissed, B cancelled, A again")
            << QStringList{"firefox-esr",   "cancel prompt", "mail",
                           "cancel prompt", "cancel shield", "firefox-esr"}
            << "Firefox, prompt, mail hidden";
        QTest::newRow("B during A's prompt")
            << QStringList{"firefox-esr", "mail"} << "Firefox, prompt, mail hidden";
        QTest::newRow("B during A's prompt, A unlocked, B again")
            << QStringList{"firefox-esr", "mail", "unlock", "mail"} << "Mail, prompt, mail hidden";
    }

    void shieldsOneAtATime()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, outcome);
        Rig rig;
        rig.policy.addApp(rig.firefox);
        rig.policy.addApp(rig.app("mail", "Mail"));
        rig.engine.start();
        for (const QString& step : steps) {
            if (step == "cancel prompt")
                rig.authenticator.reply(Result::userCancel);
            else if (step == "unlock")
                rig.authenticator.reply(Result::success);
            else if (step == "cancel shield")
                rig.overlay.model().cancel();
            else
                rig.workspace.appActivates(step);
        }
        QStringList seen{rig.display.windows > 0 ? rig.overlay.model().appName() : "no shield"};
        if (rig.auth.isAuthenticating())
            seen << "prompt";
        seen << (rig.workspace.hidden.contains("mail") ? "mail hidden" : "mail open");
        QCOMPARE(seen.join(", "), outcome);
        rig.authenticator.reply(Result::userCancel);
    }

    // The own application, a disabled record and an unknown application are left alone. An entry in
    // a system location is shielded all the same, but never changed on disk.
    void startAndRelockAll()
    {
        Rig rig;
        const ProtectedApp own = rig.app(AppProtectionEngine::OwnBundleID, "Veilmark");
        ProtectedApp disabled = rig.app("org.gnome.Calculator", "Calculator"), env = rig.app("env", "Env");
        disabled.enabled = false;
        env.appPath = "/usr/.." + env.appPath; // a system location by its path, yet a file of the test's
        for (const ProtectedApp& app : {own, disabled, rig.firefox, env})
            rig.policy.addApp(app);
        rig.workspace.running = {AppProtectionEngine::OwnBundleID, "org.gnome.Calculator", "xterm", "env"};
        rig.engine.start();
        rig.engine.start(); // once only: no second set of subscriptions
        QVERIFY(rig.readable(disabled) && rig.readable(own) && !rig.readable(rig.firefox));
        QCOMPARE(rig.workspace.hidden, QSet<QString>{"env"});
        for (const QString& id : {AppProtectionEngine::OwnBundleID, disabled.bundleID, QString("xterm")}) {
            rig.workspace.appLaunches(id);
            rig.workspace.appActivates(id);
        }
        QCOMPARE(rig.display.shows, 0);

        // Opened from outside: relockAll locks it again, and records nothing while nothing was unlocked.
        AccessControlLock::unlockAndVerify(rig.firefox.appPath);
        rig.engine.relockAll("Manual lock-all");
        QVERIFY(!rig.readable(rig.firefox) && rig.readable(own));
        const QFile::Permissions entry = QFile::permissions(env.appPath);
        rig.workspace.appActivates("env");
        QCOMPARE(rig.display.activations, 0); // subscribed twice, it would take the keyboard back at once
        rig.authenticator.reply(Result::success);
        rig.engine.relockAll("Screen locked");
        QVERIFY(rig.sessions.unlockedApps().isEmpty());
        rig.engine.setProtection(env, false);
        QCOMPARE(QFile::permissions(env.appPath), entry);
        QCOMPARE(rig.events(), QStringList({"appUnlocked|Env|", "systemRelock|All apps|Screen locked"}));
    }

    // Adding skips Veilmark itself, entries that are not applications and entries already
    // protected, and locks each new one at once. Switching protection off or removing it opens the
    // entry and forgets the unlock. Unlocked from Veilmark, the application's own launch raises no
    // shield.
    void manageProtection()
    {
        Rig rig;
        rig.engine.start();
        const ProtectedApp own = rig.app(AppProtectionEngine::OwnBundleID, "Veilmark");
        QCOMPARE(rig.engine.addApps({rig.firefox.appPath, own.appPath, rig.entries.filePath("none.desktop"),
                                     rig.firefox.appPath}),
                 1);
        QCOMPARE(rig.policy.apps(), QList<ProtectedApp>{rig.firefox});
        QVERIFY(!rig.readable(rig.firefox) && rig.readable(own));
        // What identifies its windows is kept while the entry can still be read.
        QCOMPARE(rig.installed.kept, QStringList{rig.firefox.appPath});
        rig.sessions.insertUnlockedApp("firefox-esr");
        rig.engine.setProtection(rig.firefox, false);
        QVERIFY(rig.readable(rig.firefox) && !rig.unlocked() && !rig.policy.apps().first().enabled);
        rig.engine.setProtection(rig.firefox, true);
        QVERIFY(!rig.readable(rig.firefox));

        rig.engine.unlockAndLaunch(rig.firefox);
        rig.authenticator.reply(Result::success);
        QVERIFY(rig.readable(rig.firefox));
        QCOMPARE(rig.installed.launched, QStringList{rig.firefox.appPath});
        // ...and kept afresh once unlocked, when it may be edited.
        QCOMPARE(rig.installed.kept.last(), rig.firefox.appPath);
        QVERIFY(!rig.installed.kept.join(' ').contains("(unreadable)"));
        rig.workspace.appLaunches("firefox-esr");
        QCOMPARE(rig.display.shows, 0);
        rig.engine.relockApp("firefox-esr");
        QVERIFY(!rig.readable(rig.firefox));
        rig.engine.unlockAndLaunch(rig.firefox);
        rig.authenticator.reply(Result::userCancel);
        rig.engine.unlockAndLaunch(rig.firefox);
        rig.authenticator.reply(Result::passwordFailed);
        QVERIFY(!rig.readable(rig.firefox));

        rig.sessions.insertUnlockedApp("firefox-esr");
        rig.engine.removeProtection(rig.firefox);
        QVERIFY(rig.policy.apps().isEmpty() && rig.readable(rig.firefox) && !rig.unlocked());
        QCOMPARE(rig.events(), QStringList({"appRelocked|Firefox|Locked", "appRelocked|Firefox|Locked",
                                            "appUnlocked|Firefox|", "appRelocked|Firefox|Manual relock",
                                            "appAuthFailed|Firefox|Password not accepted — try again",
                                            "appRelocked|Firefox|Protection removed"}));

        // A full policy takes no more.
        QList<ProtectedApp> full;
        for (int i = 0; i < PolicySnapshot::MaxApps; ++i)
            full.append(rig.app(QString::number(i), "App"));
        rig.policy.setApps(full);
        QCOMPARE(rig.engine.addApps({rig.firefox.appPath}), 0);
        QCOMPARE(rig.events(),
                 QStringList("error|Can't protect app|Firefox: no more than 1,000 apps can be protected."));
        rig.policy.setApps({});
    }
};

QTEST_GUILESS_MAIN(TestAppProtectionEngine)
#include "TestAppProtectionEngine.moc"
