#include "TestDataHome.h"
#include "app/AppState.h"
#include "apps/AppProtectionEngine.h"
#include "auth/SessionManager.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeLoginItems.h"
#include "fakes/FakeSecretStore.h"
#include "fakes/FakeShieldDisplay.h"
#include "fakes/FakeSystemEvents.h"
#include "fakes/FakeWorkspace.h"
#include "folders/AccessControlLock.h"
#include "folders/FolderProtectionEngine.h"
#include "platform/Appearance.h"
#include "platform/LoginItems.h"
#include "store/DataDirectory.h"
#include "store/EventLog.h"
#include "store/PolicySnapshot.h"
#include "store/PolicyStore.h"

#include <QDir>
#include <QTest>

using Result = Authenticator::Result;

namespace {
// Each fake writes what it was asked into one journal, so the order of start-up shows.
struct Journal
{
    QStringList entries;
};

struct JournalingSecrets : FakeSecretStore
{
    Journal& journal;
    explicit JournalingSecrets(Journal& j)
        : journal(j)
    {}
    Presence lookup(const QString& service, const QString& account) override
    {
        journal.entries << "keyring";
        return FakeSecretStore::lookup(service, account);
    }
};

struct JournalingWorkspace : FakeWorkspace
{
    Journal& journal;
    explicit JournalingWorkspace(Journal& j)
        : journal(j)
    {}
    QStringList runningApplications() const override
    {
        journal.entries << "apps";
        return FakeWorkspace::runningApplications();
    }
};

struct JournalingEvents : FakeSystemEvents
{
    Journal& journal;
    explicit JournalingEvents(Journal& j)
        : journal(j)
    {}
    void start() override
    {
        journal.entries << "system events";
        FakeSystemEvents::start();
    }
};

struct FakeAppearance : Appearance
{
    Journal& journal;
    QList<AppearanceMode> applied;
    explicit FakeAppearance(Journal& j)
        : journal(j)
    {}
    void apply(AppearanceMode mode) override
    {
        journal.entries << "appearance";
        applied << mode;
    }
};

struct JournalingLoginItems : ScriptedLoginItems
{
    Journal& journal;
    explicit JournalingLoginItems(Journal& j)
        : journal(j)
    {}
    bool isRegistered() const override
    {
        journal.entries << "login item";
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
        Journal journal;
        FakeClock clock;
        FakeAuthenticator authenticator;
        JournalingSecrets secrets{journal};
        JournalingWorkspace workspace{journal};
        FakeShieldDisplay display;
        JournalingEvents system{journal};
        JournalingLoginItems loginItems{journal};
        FakeAppearance appearance{journal};
        std::unique_ptr<AppState> state;

        Rig(const std::function<void(PolicySnapshot&)>& stored = {})
        {
            if (stored) {
                PolicySnapshot snapshot;
                stored(snapshot);
                QFile file(DataDirectory::filePath("policies.json"));
                file.open(QIODevice::WriteOnly);
                file.write(snapshot.encode());
            }
            state = std::make_unique<AppState>(PlatformServices{clock, authenticator, secrets, workspace,
                                                                display, system, loginItems, appearance,
                                                                home.path(), DataDirectory::path()});
        }
        ~Rig()
        {
            for (const ProtectedFolder& f : state->policy()->folders())
                AccessControlLock::unlockAndVerify(f.path);
        }
        QString folder(const char* name)
        {
            const QString path = home.path() + "/" + name;
            QDir().mkpath(path);
            return path;
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
            const QString path = folder("Work");
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
    void constructionDoesNothingStartDoesItOnce()
    {
        Rig rig([](PolicySnapshot& s) {
            s.folders = {{QUuid::createUuid(), "/nonexistent/Old", "Old", true, false, 10}};
        });
        QVERIFY(rig.journal.entries.isEmpty());
        QCOMPARE(AppState::shared(), rig.state.get());
        QVERIFY(rig.state->log()->events().isEmpty());

        QObject::connect(rig.state->log(), &EventLog::eventsChanged,
                         [&] { rig.journal.entries << "folders"; });
        rig.state->start();
        QCOMPARE(rig.journal.entries,
                 QStringList({"keyring", "appearance", "login item", "apps", "folders", "system events"}));
        QCOMPARE(rig.recorded(), QStringList{"Old|Relocked at launch — unlock session did not survive quit"});

        rig.state->start();
        QCOMPARE(rig.journal.entries.size(), 6);
        QCOMPARE(rig.system.starts, 1);
        QCOMPARE(rig.state->log()->events().size(), 1);
    }

    void theSystemsLoginItemWins()
    {
        Rig rig([](PolicySnapshot& s) { s.settings.launchAtLogin = true; });
        QVERIFY(rig.state->policy()->settings().launchAtLogin);
        rig.state->start();
        QVERIFY(!rig.state->policy()->settings().launchAtLogin);
        QVERIFY(rig.loginItems.calls.isEmpty());
        QFile file(rig.state->policy()->filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!PolicySnapshot::decode(file.readAll())->settings.launchAtLogin);
    }

    void systemEventsRelockAppsThenFolders_data()
    {
        QTest::addColumn<int>("event");
        QTest::addColumn<QString>("reason");
        QTest::newRow("sleep") << 0 << "Computer going to sleep";
        QTest::newRow("session") << 1 << "User session switched";
        QTest::newRow("screen") << 2 << "Screen locked";
    }

    void systemEventsRelockAppsThenFolders()
    {
        QFETCH(int, event);
        QFETCH(QString, reason);
        Rig rig;
        rig.state->start();
        const QString path = rig.unlockBoth();
        QVERIFY(AccessControlLock::isAccessible(path));
        const qsizetype before = rig.state->log()->events().size();
        (event == 0 ? rig.system.sleep() : event == 1 ? rig.system.switchSession() : rig.system.lockScreen());
        QCOMPARE(rig.recorded().mid(before),
                 QStringList({"All apps|" + reason, "Folders relocked|" + reason}));
        QVERIFY(!AccessControlLock::isAccessible(path));
        QVERIFY(rig.state->sessions()->unlockedApps().isEmpty());
        QVERIFY(rig.state->sessions()->folderDeadlines().isEmpty());
    }

    void systemEventsChangeNothingWhenSwitchedOff()
    {
        Rig rig([](PolicySnapshot& s) { s.settings.relockOnSleepOrScreenLock = false; });
        rig.state->start();
        const QString path = rig.unlockBoth();
        const qsizetype before = rig.state->log()->events().size();
        rig.system.sleep();
        rig.system.switchSession();
        rig.system.lockScreen();
        QCOMPARE(rig.state->log()->events().size(), before);
        QVERIFY(AccessControlLock::isAccessible(path));
        QVERIFY(rig.state->sessions()->isAppUnlocked("firefox-esr"));
    }

    void quitRelocksAppsThenFolders()
    {
        Rig rig;
        rig.state->start();
        rig.unlockBoth();
        const qsizetype before = rig.state->log()->events().size();
        rig.state->relockEverything("App quit");
        QCOMPARE(rig.recorded().mid(before), QStringList({"All apps|App quit", "Folders relocked|App quit"}));
        // Nothing unlocked: nothing recorded.
        rig.state->relockEverything("App quit");
        QCOMPARE(rig.state->log()->events().size(), before + 2);
    }

    void launchAtLoginAndAppearance()
    {
        Rig rig;
        rig.loginItems.failure = "Permission denied";
        rig.state->setLaunchAtLogin(true);
        QCOMPARE(rig.recorded(), QStringList{"Launch at Login|Permission denied"});
        QVERIFY(!rig.state->policy()->settings().launchAtLogin);

        rig.loginItems.failure.reset();
        rig.state->setLaunchAtLogin(true);
        QVERIFY(rig.state->policy()->settings().launchAtLogin);
        QVERIFY(rig.loginItems.registered);
        QCOMPARE(rig.state->log()->events().size(), 1);

        rig.state->setAppearance(AppearanceMode::dark);
        rig.state->setAppearance(AppearanceMode::system);
        QCOMPARE(rig.appearance.applied,
                 QList<AppearanceMode>({AppearanceMode::dark, AppearanceMode::system}));
        QCOMPARE(rig.state->policy()->settings().appearance, AppearanceMode::system);
    }
};

QTEST_GUILESS_MAIN(TestAppState)
#include "TestAppState.moc"
