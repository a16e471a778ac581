#include "TestDataHome.h"
#include "app/AppState.h"
#include "app/StatusReport.h"
#include "auth/AuthenticationService.h"
#include "auth/SessionManager.h"
#include "fakes/FakeAppearance.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeInstalledApps.h"
#include "fakes/FakeLoginItems.h"
#include "fakes/FakeSecretStore.h"
#include "fakes/FakeShieldDisplay.h"
#include "fakes/FakeSystemEvents.h"
#include "fakes/FakeWorkspace.h"
#include "folders/FolderProtectionEngine.h"
#include "io/AccessControlLock.h"
#include "io/DataDirectory.h"
#include "store/EventLog.h"
#include "store/PolicySnapshot.h"
#include "store/PolicyStore.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

using Result = Authenticator::Result;

namespace {
const char* const kReasons[] = {"Computer going to sleep", "User session switched", "Screen locked"};

// What the fakes were asked, in order, so the order of start-up shows.
QStringList journal;

struct JournalingSecrets : FakeSecretStore
{
    Presence lookup(const QString& service, const QString& account) override
    {
        journal << "keyring";
        return FakeSecretStore::lookup(service, account);
    }
};
struct JournalingWorkspace : FakeWorkspace
{
    QStringList runningApplications() const override
    {
        journal << "apps";
        return FakeWorkspace::runningApplications();
    }
};
struct JournalingEvents : FakeSystemEvents
{
    void start() override
    {
        journal << "system events";
        FakeSystemEvents::start();
    }
};
struct JournalingAppearance : FakeAppearance
{
    bool desktopPrefersDark() override
    {
        journal << "appearance";
        return FakeAppearance::desktopPrefersDark();
    }
};
struct JournalingLoginItems : ScriptedLoginItems
{
    bool isRegistered() const override
    {
        journal << "login item";
        return ScriptedLoginItems::isRegistered();
    }
};
} // namespace

// The coordinator with fakes of every platform service and real folders in a temporary home
// (permission checks in force: CTest drops root's bypass).
class TestAppState : public QObject
{
    Q_OBJECT

    struct Rig
    {
        TestDataHome data;
        QTemporaryDir home;
        FakeClock clock;
        FakeAuthenticator authenticator;
        JournalingSecrets secrets;
        JournalingWorkspace workspace;
        FakeInstalledApps installed;
        FakeShieldDisplay display;
        JournalingEvents system;
        JournalingLoginItems loginItems;
        JournalingAppearance appearance;
        std::unique_ptr<AppState> state;

        // `documents` are stored as they are, by file name, after the `stored` policy.
        Rig(const std::function<void(PolicySnapshot&)>& stored = {}, bool appsSupported = true,
            const QMap<QString, QByteArray>& documents = {})
        {
            workspace.supported = appsSupported;
            journal.clear();
            QMap<QString, QByteArray> files = documents;
            if (stored) {
                PolicySnapshot snapshot;
                stored(snapshot);
                // "~/Name" folders are made in the temporary home.
                for (ProtectedFolder& folder : snapshot.folders) {
                    if (folder.path.startsWith("~/") && QDir().mkpath(home.path() + folder.path.mid(1)))
                        folder.path = home.path() + folder.path.mid(1);
                }
                files.insert("policies.json", snapshot.encode());
            }
            for (auto it = files.cbegin(); it != files.cend(); ++it) {
                QFile file(DataDirectory::filePath(it.key()));
                file.open(QIODevice::WriteOnly);
                file.write(it.value());
            }
            state = std::make_unique<AppState>(
                PlatformServices{clock, authenticator, secrets, workspace, display, installed, system,
                                 loginItems, appearance, home.path(), DataDirectory::path()});
        }
        ~Rig()
        {
            for (const ProtectedFolder& f : state->policy()->folders())
                AccessControlLock::unlockAndVerify(f.path);
        }
        QStringList recorded() const
        {
            QStringList out;
            for (const LogEvent& e : state->log()->events())
                out.prepend(e.subject + "|" + e.detail);
            return out;
        }
        // One application and one folder unlocked, as after two successful prompts.
        QString unlockBoth()
        {
            const QString path = home.path() + "/Work";
            QDir().mkpath(path);
            state->folderEngine()->addFolder(path);
            authenticator.script = {Result::success};
            state->folderEngine()->unlock(state->policy()->folders().first());
            if (!QTest::qWaitFor([&] { return !state->policy()->folders().first().isLocked; }, 2000))
                return {};
            state->policy()->addApp({"firefox-esr", "Firefox", "/usr/bin/env", true, true});
            workspace.appLaunches("firefox-esr");
            authenticator.reply(Result::success);
            return path;
        }
    };

private slots:
    // Constructing does nothing; start() does each step once, in order: the vault token, the appearance,
    // launch at login as the system has it (the file wins, nothing is registered), the running
    // applications, the relock of folders left unlocked, then the system events.
    void startDoesEachStepOnceInOrder()
    {
        Rig rig([](PolicySnapshot& s) {
            s.folders = {{QUuid::createUuid(), "~/Old", "Old", true, false, 10}};
            s.settings.launchAtLogin = true;
        });
        QVERIFY(journal.isEmpty());
        QObject::connect(rig.state->log(), &EventLog::eventsChanged, [] { journal << "folders"; });
        rig.state->start();
        QCOMPARE(journal,
                 QStringList({"keyring", "appearance", "login item", "apps", "folders", "system events"}));
        QCOMPARE(rig.recorded(), QStringList{"Old|Relocked at launch — unlock session did not survive quit"});
        QVERIFY(!rig.state->policy()->settings().launchAtLogin);
        QVERIFY(rig.loginItems.calls.isEmpty());
        QFile file(rig.state->policy()->filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!PolicySnapshot::decode(file.readAll())->settings.launchAtLogin);

        rig.state->start();
        QCOMPARE(journal.size(), 6);
        QCOMPARE(rig.system.starts, 1);
        QCOMPARE(rig.state->log()->events().size(), 1);
    }

    // What the stores could not read is recorded at start; a run of failed saves is recorded once,
    // even when it began before start. The window gets one line, the most pressing first.
    void storageProblemsAreRecordedAndShown()
    {
        PolicySnapshot stored;
        stored.apps = {{"a", "A", "/nonexistent/a.desktop"}, {"broken", "B", "/nonexistent/b.desktop"}};
        QByteArray policy = stored.encode();
        policy.replace(R"("name": "B")", R"("name": 2)");
        Rig rig({}, true, {{"policies.json", policy}, {"events.json", "[1]"}});
        const QString policyCopy = rig.state->policy()->unreadableCopy();
        const QString logCopy = rig.state->log()->unreadableCopy();
        QVERIFY(!policyCopy.isEmpty() && !logCopy.isEmpty());
        const QString kept = "policies.json could not be read — the original is kept as " + policyCopy;
        QCOMPARE(rig.state->storageNotice(), kept);
        QSignalSpy notice(rig.state.get(), &AppState::storageNoticeChanged);

        const QString dir = rig.data.dataDir();
        QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner));
        rig.state->setAppearance(AppearanceMode::dark);
        rig.state->start();
        rig.state->setAppearance(AppearanceMode::light);
        QCOMPARE(rig.state->storageNotice(), "Changes are not saved: Permission denied");
        QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        rig.state->setAppearance(AppearanceMode::system);
        QCOMPARE(rig.state->storageNotice(), kept);
        QCOMPARE(notice.size(), 2);
        QCOMPARE(
            rig.recorded(),
            QStringList({"Policy not saved|Permission denied — changes are kept and saved again with the "
                         "next change",
                         "Policy unreadable|policies.json: apps[1] (broken) cannot be read — the original "
                         "is kept as " +
                             policyCopy,
                         "Activity log unreadable|events.json: events[0] cannot be read — the original is "
                         "kept as " +
                             logCopy}));
    }

    // Each event relocks applications, then folders, unless relocking on them is switched off.
    void systemEventsRelockAppsThenFolders_data()
    {
        QTest::addColumn<int>("event");
        QTest::addColumn<bool>("relock");
        for (int event = 0; event < 3; ++event) {
            for (bool relock : {true, false})
                QTest::addRow("%s%s", kReasons[event], relock ? "" : ", switched off") << event << relock;
        }
    }

    void systemEventsRelockAppsThenFolders()
    {
        QFETCH(int, event);
        QFETCH(bool, relock);
        Rig rig([&](PolicySnapshot& s) { s.settings.relockOnSleepOrScreenLock = relock; });
        rig.state->start();
        const QString path = rig.unlockBoth();
        QVERIFY(AccessControlLock::isAccessible(path));
        const qsizetype before = rig.state->log()->events().size();
        (event == 0 ? rig.system.sleep() : event == 1 ? rig.system.switchSession() : rig.system.lockScreen());
        const QString reason = kReasons[event];
        QCOMPARE(rig.recorded().mid(before),
                 relock ? QStringList({"All apps|" + reason, "Folders relocked|" + reason}) : QStringList());
        QCOMPARE(AccessControlLock::isAccessible(path), !relock);
        QCOMPARE(rig.state->sessions()->isAppUnlocked("firefox-esr"), !relock);
        QCOMPARE(rig.state->sessions()->folderDeadlines().isEmpty(), relock);
    }

    // Without a window-system backend that can hide windows, nothing about applications happens:
    // no running application is asked for, no desktop entry locked, on start or on relock; the
    // activity log says why.
    void unsupportedBackendLeavesApplicationsAlone()
    {
        QTemporaryDir entries;
        const QString entry = entries.filePath("firefox-esr.desktop");
        QFile file(entry);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        Rig rig([&](PolicySnapshot& s) { s.apps = {{"firefox-esr", "Firefox", entry, true, true}}; }, false);
        QVERIFY(!rig.state->appProtectionSupported());
        rig.state->start();
        rig.state->relockEverything("Manual lock-all");
        rig.workspace.appLaunches("firefox-esr");
        QVERIFY(!journal.contains("apps"));
        QVERIFY(AccessControlLock::isAccessible(entry));
        QVERIFY(rig.workspace.hidden.isEmpty() && rig.display.shows == 0);
        QVERIFY(rig.recorded().contains("App protection unavailable|" + rig.workspace.reason));

        // What can be done from here is done once, and what is left is said and recorded.
        QSignalSpy changes(rig.state.get(), &AppState::appProtectionChanged);
        rig.state->applyAppProtectionRemedy();
        QCOMPARE(rig.workspace.remedies, 0);
        rig.workspace.remedyLabel = "Turn On";
        QCOMPARE(rig.state->appProtectionRemedy(), "Turn On");
        rig.state->applyAppProtectionRemedy();
        rig.state->applyAppProtectionRemedy();
        QCOMPARE(rig.workspace.remedies, 1);
        QVERIFY(changes.size() >= 1);
        QCOMPARE(rig.state->appProtectionProblem(), "Log out and in once.");
        QCOMPARE(rig.recorded().last(), "App protection unavailable|Log out and in once.");
    }

    // The backend lost while running (its Shell extension turned off): from then on nothing claims
    // to be locked, and the activity log says why, once.
    void backendLostWhileRunningIsSaid()
    {
        Rig rig([&](PolicySnapshot& s) { s.apps = {{"firefox-esr", "Firefox", QString(), true, true}}; });
        rig.state->start();
        QCOMPARE(StatusReport::of(*rig.state).entries.value(0).state, QStringLiteral("locked"));
        QSignalSpy changes(rig.state.get(), &AppState::appProtectionChanged);
        rig.workspace.supported = false;
        emit rig.workspace.supportChanged();
        emit rig.workspace.supportChanged();
        QVERIFY(!rig.state->appProtectionSupported());
        QCOMPARE(changes.size(), 2);
        QCOMPARE(rig.recorded().filter("App protection unavailable").size(), 1);
        QCOMPARE(StatusReport::of(*rig.state).entries.value(0).state, QStringLiteral("unwatched"));
    }

    // `system` follows the desktop's preference as it changes; light and dark ignore it.
    void appearanceFollowsTheSettingThenTheDesktop_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QList<bool>>("dark"); // at start, after the desktop turns dark, after it turns light
        QTest::newRow("system") << "system" << QList<bool>{false, true, false};
        QTest::newRow("dark") << "dark" << QList<bool>{true, true, true};
        QTest::newRow("light") << "light" << QList<bool>{false, false, false};
    }

    void appearanceFollowsTheSettingThenTheDesktop()
    {
        QFETCH(QString, mode);
        QFETCH(QList<bool>, dark);
        Rig rig([&](PolicySnapshot& s) { s.settings.appearance = *appearanceModeFromRawValue(mode); });
        QSignalSpy changes(rig.state.get(), &AppState::darkChanged);
        rig.state->start();
        QCOMPARE(rig.state->isDark(), dark[0]);
        rig.appearance.prefer(true);
        QCOMPARE(rig.state->isDark(), dark[1]);
        rig.appearance.prefer(false);
        QCOMPARE(rig.state->isDark(), dark[2]);
        QCOMPARE(changes.size(), int(dark[0]) + int(dark[1] != dark[0]) + int(dark[2] != dark[1]));
    }

    // Each failed attempt is recorded under what the prompt was for, whatever its words say.
    void failedAttemptsAreRecordedByWhatWasAsked()
    {
        using Purpose = AuthenticationService::Purpose;
        Rig rig;
        for (const auto& [purpose, reason] : {std::pair{Purpose::unlockApp, "unlock Firefox"},
                                              {Purpose::unlockFolder, "unlock the folder “Taxes”"},
                                              {Purpose::change, "clear the activity log"}}) {
            rig.state->auth()->authenticate(
                reason, true, [](bool) {}, purpose);
            rig.authenticator.onFailedAttempt(reason, "Wrong password");
            rig.authenticator.reply(Result::userCancel);
        }
        QStringList recorded;
        for (const LogEvent& e : rig.state->log()->events())
            recorded.prepend(rawValue(e.kind) + "|" + e.subject + "|" + e.detail);
        QCOMPARE(recorded, QStringList({"appAuthFailed|Unlock Firefox|Wrong password",
                                        "folderAuthFailed|Unlock the folder “Taxes”|Wrong password",
                                        "protectionChanged|Clear the activity log|Wrong password"}));
    }
};

QTEST_GUILESS_MAIN(TestAppState)
#include "TestAppState.moc"
