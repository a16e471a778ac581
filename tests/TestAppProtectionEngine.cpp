#include "TestDataHome.h"
#include "apps/AppProtectionEngine.h"
#include "apps/OverlayManager.h"
#include "auth/AuthenticationService.h"
#include "auth/KeychainService.h"
#include "auth/SessionManager.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeSecretStore.h"
#include "fakes/FakeShieldDisplay.h"
#include "fakes/FakeWorkspace.h"
#include "folders/AccessControlLock.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

#include <QTest>

using Result = Authenticator::Result;
using Policy = Authenticator::Policy;

// The engine against a scripted desktop, shield and prompt. Desktop entries are real files in a
// temporary directory, checked with permission checks in force (CTest drops root's bypass).
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
        FakeShieldDisplay display;
        PolicyStore policy;
        EventLog log;
        SessionManager sessions{clock};
        AuthenticationService auth{authenticator, keychain};
        OverlayManager overlay{display};
        AppProtectionEngine engine{policy, auth, sessions, overlay, log, workspace};
        ProtectedApp firefox = app("firefox-esr", "Firefox");

        ProtectedApp app(const QString& id, const QString& name)
        {
            const QString path = entries.filePath(id + ".desktop");
            QFile file(path);
            if (!file.exists() && file.open(QIODevice::WriteOnly))
                file.write("[Desktop Entry]\nType=Application\nName=" + name.toUtf8() + "\nExec=true\n");
            return {id, name, path, true, true};
        }
        ~Rig()
        {
            for (const ProtectedApp& a : policy.apps())
                if (!AppProtectionEngine::isSystemLocation(a.appPath))
                    AccessControlLock::unlockAndVerify(a.appPath);
        }
        void protect(const ProtectedApp& a)
        {
            policy.addApp(a);
            engine.lockApp(a);
            engine.start();
            log.clear();
        }
        // Launches the app, lets the prompt answer and waits for the outcome.
        void launchAndAnswer(const QString& id, Result result)
        {
            workspace.appLaunches(id);
            authenticator.reply(result);
            QCoreApplication::processEvents();
        }
        QStringList events() const
        {
            QStringList out;
            for (const LogEvent& e : log.events())
                out.prepend(rawValue(e.kind) + "|" + e.subject + "|" + e.detail);
            return out;
        }
        bool readable(const ProtectedApp& a) const { return AccessControlLock::isAccessible(a.appPath); }
    };

private slots:
    void launchRaisesShieldAndUnlockBringsTheAppBack()
    {
        Rig rig;
        rig.protect(rig.firefox);
        QVERIFY(!rig.readable(rig.firefox));
        rig.workspace.icons["firefox-esr"] = QImage(16, 16, QImage::Format_ARGB32);

        rig.workspace.appLaunches("firefox-esr");
        QVERIFY(rig.workspace.hidden.contains("firefox-esr"));
        QCOMPARE(rig.display.windows, 2);
        ShieldModel& model = rig.overlay.model();
        QCOMPARE(model.appName(), QString("Firefox"));
        QVERIFY(!model.icon().isNull());
        // The prompt opens with the shield, without a click.
        QCOMPARE(rig.authenticator.calls.size(), 1);
        QCOMPARE(rig.authenticator.calls[0].reason, QString("unlock Firefox"));
        QCOMPARE(rig.authenticator.calls[0].policy, Policy::fingerprint);
        QCOMPARE(model.statusText(), QString("Authenticating…"));
        QVERIFY(model.isAuthenticating());
        QVERIFY(rig.engine.authInProgress().contains("firefox-esr"));

        rig.authenticator.reply(Result::success);
        QVERIFY(rig.sessions.isAppUnlocked("firefox-esr"));
        QVERIFY(rig.engine.authInProgress().isEmpty());
        QCOMPARE(rig.display.windows, 0);
        QVERIFY(rig.readable(rig.firefox));
        QCOMPARE(rig.workspace.actions.mid(1), QStringList({"unhide firefox-esr", "activate firefox-esr"}));
        QCOMPARE(rig.events(), QStringList{"appUnlocked|Firefox|"});

        // Unlocked: coming to the front again raises nothing.
        rig.workspace.appActivates("firefox-esr");
        QCOMPARE(rig.display.shows, 1);
    }

    void whoIsNeverShielded()
    {
        Rig rig;
        ProtectedApp own = rig.app(AppProtectionEngine::OwnBundleID, "Veilmark");
        rig.policy.addApp(own);
        ProtectedApp disabled = rig.app("org.gnome.Calculator", "Calculator");
        disabled.enabled = false;
        rig.policy.addApp(disabled);
        rig.workspace.running = {AppProtectionEngine::OwnBundleID, "org.gnome.Calculator", "unprotected"};
        rig.engine.start();
        QVERIFY(rig.readable(disabled));
        QVERIFY(!rig.workspace.hidden.contains("org.gnome.Calculator"));
        for (const QString& id : rig.workspace.running) {
            rig.workspace.appActivates(id);
            rig.workspace.appDeactivates(id);
        }
        rig.workspace.appLaunches("never-heard-of");
        QCOMPARE(rig.display.shows, 0);
        QVERIFY(rig.authenticator.calls.isEmpty());
        QVERIFY(rig.log.events().isEmpty());
    }

    void systemEntriesAreShieldedButNeverChangedOnDisk()
    {
        Rig rig;
        // Root's file: changing it would fail, so any attempt shows up as an error event.
        const ProtectedApp env{"env", "Env", "/usr/bin/env", true, true};
        rig.policy.addApp(env);
        rig.engine.start();
        rig.launchAndAnswer("env", Result::success);
        QCOMPARE(rig.display.shows, 1);
        QVERIFY(rig.sessions.isAppUnlocked("env"));
        rig.engine.relockAll("Screen locked");
        rig.engine.setProtection(env, false);
        for (const LogEvent& e : rig.log.events())
            QVERIFY2(e.kind != LogEventKind::error, qPrintable(e.detail));
        QVERIFY(rig.readable(env));
    }

    void shieldStaysThroughCancelledAndFailedPrompts()
    {
        Rig rig;
        rig.protect(rig.firefox);
        rig.workspace.appLaunches("firefox-esr");
        ShieldModel& model = rig.overlay.model();

        // A second Unlock while the prompt is open changes nothing.
        model.setStatus("marker", true, false);
        model.requestUnlock();
        QCOMPARE(rig.authenticator.calls.size(), 1);
        QCOMPARE(model.statusText(), QString("marker"));

        rig.authenticator.reply(Result::userCancel);
        QCOMPARE(model.statusText(), QString("Locked — Fingerprint required"));
        QVERIFY(!model.failed() && !model.isAuthenticating());
        QCOMPARE(rig.display.windows, 2);
        QVERIFY(rig.log.events().isEmpty());

        model.requestUnlock();
        rig.authenticator.reply(Result::fingerprintFailed);
        QCOMPARE(model.statusText(), QString("Fingerprint not recognized — try again"));
        QVERIFY(model.failed());
        QCOMPARE(rig.events(), QStringList{"appAuthFailed|Firefox|Fingerprint not recognized — try again"});

        model.requestPassword();
        QCOMPARE(rig.authenticator.calls.last().policy, Policy::deviceOwner);
        rig.authenticator.reply(Result::userCancel);

        model.cancel();
        QCOMPARE(rig.display.windows, 0);
        QVERIFY(rig.workspace.hidden.contains("firefox-esr"));
        QVERIFY(!rig.sessions.isAppUnlocked("firefox-esr"));
        QCOMPARE(rig.events().last(), QString("appRelocked|Firefox|Unlock cancelled"));

        // Locked again: the next activation brings the shield back.
        rig.workspace.appActivates("firefox-esr");
        QCOMPARE(rig.display.shows, 2);
        rig.authenticator.reply(Result::userCancel);
    }

    void reactivatedWhileShieldedGoesBackBehindIt()
    {
        Rig rig;
        rig.protect(rig.firefox);
        rig.workspace.appLaunches("firefox-esr");
        rig.workspace.hidden.clear();
        const qsizetype events = rig.log.events().size();
        rig.workspace.appActivates("firefox-esr");
        QVERIFY(rig.workspace.hidden.contains("firefox-esr"));
        QCOMPARE(rig.display.activations, 1);
        QCOMPARE(rig.display.shows, 1);
        QCOMPARE(rig.authenticator.calls.size(), 1);
        QCOMPARE(rig.log.events().size(), events);
        rig.workspace.appDeactivates("firefox-esr");
        QCOMPARE(rig.log.events().size(), events);
        rig.authenticator.reply(Result::userCancel);
    }

    void focusLossNeedsBothSwitches_data()
    {
        QTest::addColumn<bool>("global");
        QTest::addColumn<bool>("perApp");
        QTest::addColumn<bool>("relocks");
        QTest::newRow("both on") << true << true << true;
        QTest::newRow("global off") << false << true << false;
        QTest::newRow("app off") << true << false << false;
    }

    void focusLossNeedsBothSwitches()
    {
        QFETCH(bool, global);
        QFETCH(bool, perApp);
        QFETCH(bool, relocks);
        Rig rig;
        rig.firefox.relockOnFocusLoss = perApp;
        rig.protect(rig.firefox);
        VeilmarkSettings settings = rig.policy.settings();
        settings.relockAppsOnFocusLoss = global;
        rig.policy.setSettings(settings);
        rig.launchAndAnswer("firefox-esr", Result::success);
        rig.log.clear();
        rig.workspace.hidden.clear();

        rig.workspace.appDeactivates("firefox-esr");
        QCOMPARE(!rig.sessions.isAppUnlocked("firefox-esr"), relocks);
        QCOMPARE(rig.workspace.hidden.contains("firefox-esr"), relocks);
        QCOMPARE(rig.readable(rig.firefox), !relocks);
        QCOMPARE(rig.events(), relocks ? QStringList{"appRelocked|Firefox|Lost focus"} : QStringList());
    }

    void quittingRelocksSilently()
    {
        Rig rig;
        rig.protect(rig.firefox);
        rig.launchAndAnswer("firefox-esr", Result::success);
        rig.log.clear();
        rig.workspace.appQuits("firefox-esr");
        QVERIFY(!rig.sessions.isAppUnlocked("firefox-esr"));
        QVERIFY(!rig.readable(rig.firefox));
        QVERIFY(rig.log.events().isEmpty());
    }

    void relockAllRecordsOnlyWhenSomethingWasUnlocked()
    {
        Rig rig;
        rig.protect(rig.firefox);
        ProtectedApp mail = rig.app("thunderbird", "Thunderbird");
        rig.protect(mail);
        rig.engine.start();
        // Opened from outside: relockAll puts the lock back even with nothing unlocked.
        AccessControlLock::unlockAndVerify(mail.appPath);
        rig.workspace.running = {"thunderbird"};
        rig.engine.relockAll("Manual lock-all");
        QVERIFY(!rig.readable(mail));
        QVERIFY(rig.workspace.hidden.contains("thunderbird"));
        QVERIFY(rig.log.events().isEmpty());

        rig.launchAndAnswer("firefox-esr", Result::success);
        rig.workspace.appLaunches("thunderbird"); // shield up, prompt open
        rig.engine.relockAll("Computer going to sleep");
        QVERIFY(rig.sessions.unlockedApps().isEmpty());
        QVERIFY(!rig.readable(rig.firefox));
        QVERIFY(rig.engine.authInProgress().contains("thunderbird"));
        QCOMPARE(rig.events().last(), QString("systemRelock|All apps|Computer going to sleep"));
        rig.authenticator.reply(Result::userCancel);
    }

    void relockAndProtectionSwitch()
    {
        Rig rig;
        rig.sessions.insertUnlockedApp("ghost");
        rig.workspace.running = {"ghost"};
        rig.engine.relockApp("ghost");
        QVERIFY(!rig.sessions.isAppUnlocked("ghost"));
        QVERIFY(rig.workspace.hidden.contains("ghost"));
        QVERIFY(rig.log.events().isEmpty());

        rig.policy.addApp(rig.firefox);
        rig.engine.setProtection(rig.firefox, true);
        QCOMPARE(rig.events(), QStringList{"appRelocked|Firefox|Locked"});
        QVERIFY(!rig.readable(rig.firefox));
        rig.sessions.insertUnlockedApp("firefox-esr");
        rig.engine.setProtection(rig.firefox, false);
        QCOMPARE(rig.log.events().size(), 1);
        QVERIFY(rig.readable(rig.firefox));
        QVERIFY(!rig.sessions.isAppUnlocked("firefox-esr"));
        QVERIFY(!rig.policy.apps().first().enabled);

        rig.engine.setProtection(rig.firefox, true);
        rig.launchAndAnswer("firefox-esr", Result::success);
        rig.engine.relockApp("firefox-esr");
        QCOMPARE(rig.events().last(), QString("appRelocked|Firefox|Manual relock"));
    }

    void unlockAndLaunchRaisesNoShield()
    {
        Rig rig;
        rig.protect(rig.firefox);
        rig.engine.start();
        rig.engine.unlockAndLaunch(rig.firefox);
        rig.authenticator.reply(Result::success);
        QVERIFY(rig.readable(rig.firefox));
        QVERIFY(rig.sessions.isAppUnlocked("firefox-esr"));
        QCOMPARE(rig.workspace.actions.last(), "launch " + rig.firefox.appPath);
        rig.workspace.appLaunches("firefox-esr");
        QCOMPARE(rig.display.shows, 0);
        QCOMPARE(rig.events(), QStringList{"appUnlocked|Firefox|"});

        rig.engine.relockApp("firefox-esr");
        rig.engine.unlockAndLaunch(rig.firefox);
        rig.authenticator.reply(Result::userCancel);
        QCOMPARE(rig.log.events().size(), 2);
        rig.engine.unlockAndLaunch(rig.firefox);
        rig.authenticator.reply(Result::passwordFailed);
        QCOMPARE(rig.events().last(), QString("appAuthFailed|Firefox|Password not accepted — try again"));
    }

    void startHidesRunningProtectedApps()
    {
        Rig rig;
        rig.policy.addApp(rig.firefox);
        QVERIFY(rig.readable(rig.firefox));
        rig.workspace.running = {"firefox-esr", "xterm"};
        rig.engine.start();
        QCOMPARE(rig.workspace.hidden, QSet<QString>{"firefox-esr"});
        QVERIFY(!rig.readable(rig.firefox));
        QCOMPARE(rig.display.shows, 0);
        rig.engine.start(); // once only: no second set of subscriptions
        rig.workspace.appActivates("firefox-esr");
        QCOMPARE(rig.display.shows, 1);
        QCOMPARE(rig.authenticator.calls.size(), 1);
        rig.authenticator.reply(Result::userCancel);
    }
};

QTEST_GUILESS_MAIN(TestAppProtectionEngine)
#include "TestAppProtectionEngine.moc"
