#include "TestDataHome.h"
#include "auth/AuthenticationService.h"
#include "auth/KeychainService.h"
#include "auth/SessionManager.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeSecretStore.h"
#include "folders/AccessControlLock.h"
#include "folders/FolderProtectionEngine.h"
#include "store/DataDirectory.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

#include <QDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using Result = Authenticator::Result;

namespace {
mode_t modeOf(const QString& path)
{
    struct stat st
    {
    };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}
} // namespace

// Runs against real directories in a temporary home, with permission checks in force (CTest
// starts it without the capabilities that let root list any directory).
class TestFolderProtectionEngine : public QObject
{
    Q_OBJECT

    struct Rig
    {
        QTemporaryDir root;
        QString home = root.path() + "/home";
        FakeClock clock;
        FakeAuthenticator authenticator;
        FakeSecretStore secrets;
        KeychainService keychain{secrets};
        std::unique_ptr<PolicyStore> policy;
        std::unique_ptr<EventLog> log;
        std::unique_ptr<SessionManager> sessions;
        std::unique_ptr<AuthenticationService> auth;
        std::unique_ptr<FolderProtectionEngine> engine;

        Rig()
        {
            QDir().mkpath(home + "/.local/share");
            qputenv("XDG_DATA_HOME", QFile::encodeName(home + "/.local/share"));
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + "/.config"));
            policy = std::make_unique<PolicyStore>();
            log = std::make_unique<EventLog>();
            sessions = std::make_unique<SessionManager>(clock);
            auth = std::make_unique<AuthenticationService>(authenticator, keychain);
            engine = std::make_unique<FolderProtectionEngine>(*policy, *auth, *sessions, *log, home,
                                                              DataDirectory::path());
            sessions->onFolderSessionExpired = [e = engine.get()](const QUuid& id) { e->sessionExpired(id); };
        }
        ~Rig()
        {
            // Give every directory its owner bits back so the temporary tree can be removed.
            for (const ProtectedFolder& folder : policy->folders())
                AccessControlLock::unlockAndVerify(folder.path);
            qunsetenv("XDG_DATA_HOME");
            qunsetenv("XDG_CONFIG_HOME");
        }

        QString dir(const QString& relative, mode_t mode = 0750)
        {
            const QString path = home + "/" + relative;
            QDir().mkpath(path);
            ::chmod(QFile::encodeName(path).constData(), mode);
            return path;
        }
        ProtectedFolder stored(const QString& path) const
        {
            for (const ProtectedFolder& f : policy->folders())
                if (f.path == path)
                    return f;
            return {};
        }
        bool unlockAndWait(const ProtectedFolder& folder)
        {
            const qsizetype before = log->events().size();
            engine->unlock(folder);
            return QTest::qWaitFor([&] { return log->events().size() > before && !auth->isAuthenticating(); },
                                   2000);
        }
        const LogEvent& lastEvent() const { return log->events().first(); }
    };

private slots:
    void initTestCase()
    {
        QTemporaryDir probe;
        ::chmod(QFile::encodeName(probe.path()).constData(), 0);
        const bool bypassed = AccessControlLock::isAccessible(probe.path());
        ::chmod(QFile::encodeName(probe.path()).constData(), 0700);
        if (bypassed)
            QFAIL("permission checks are bypassed; run through tests/unprivileged.sh");
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QString>("name");
        QTest::newRow("home") << ""
                              << "home";
        QTest::newRow("Documents") << "Documents"
                                   << "Documents";
        QTest::newRow("Downloads with trailing slash") << "Downloads/"
                                                       << "Downloads";
        QTest::newRow("config") << ".config"
                                << ".config";
        QTest::newRow("own data directory") << ".local/share/Veilmark"
                                            << "Veilmark";
        QTest::newRow("contains own data") << ".local"
                                           << ".local";
        QTest::newRow("link to own data") << "datalink"
                                          << "datalink";
        QTest::newRow("xdg user dir") << "Musik"
                                      << "Musik";
        QTest::newRow("outside home") << "../outside"
                                      << "outside";
        QTest::newRow("plain file") << "notes.txt"
                                    << "notes.txt";
        QTest::newRow("missing") << "gone"
                                 << "gone";
        QTest::newRow("inside protected") << "Work/sub"
                                          << "sub";
        QTest::newRow("contains protected") << "Projects"
                                            << "Projects";
        QTest::newRow("same as protected") << "Work"
                                           << "Work";
    }

    void refusals()
    {
        QFETCH(QString, relative);
        QFETCH(QString, name);
        Rig rig;
        rig.dir("Documents");
        rig.dir("Downloads");
        rig.dir(".config");
        rig.dir("Musik");
        rig.dir("Work/sub");
        rig.dir("Projects/Client");
        QDir().mkpath(rig.root.path() + "/outside");
        QFile(rig.home + "/notes.txt").open(QIODevice::WriteOnly);
        QFile::link(rig.home + "/.local/share/Veilmark", rig.home + "/datalink");
        QFile userDirs(rig.home + "/.config/user-dirs.dirs");
        QVERIFY(userDirs.open(QIODevice::WriteOnly));
        userDirs.write("# written by xdg-user-dirs-update\nXDG_MUSIC_DIR=\"$HOME/Musik\"\n");
        userDirs.close();
        // Rebuild the engine now that user-dirs.dirs exists.
        rig.engine = std::make_unique<FolderProtectionEngine>(*rig.policy, *rig.auth, *rig.sessions, *rig.log,
                                                              rig.home, DataDirectory::path());
        rig.engine->addFolder(rig.home + "/Work");
        rig.engine->addFolder(rig.home + "/Projects/Client");
        QCOMPARE(rig.policy->folders().size(), 2);

        rig.engine->addFolder(relative.isEmpty() ? rig.home : rig.home + "/" + relative);
        QCOMPARE(rig.policy->folders().size(), 2);
        QCOMPARE(rig.lastEvent().kind, LogEventKind::error);
        QCOMPARE(rig.lastEvent().subject, QString("Can't protect folder"));
        QCOMPARE(rig.lastEvent().detail, name + " is a system or already-protected location.");
    }

    void addLocksWithTheDefaultMinutes()
    {
        Rig rig;
        VeilmarkSettings settings = rig.policy->settings();
        settings.defaultFolderUnlockMinutes = 25;
        rig.policy->setSettings(settings);
        const QString work2 = rig.dir("Work2", 0750);
        rig.dir("Work");
        rig.engine->addFolder(rig.home + "/Work");
        // Only the path followed by "/" counts as inside: Work2 is a sibling.
        rig.engine->addFolder(rig.home + "/./Work2/");
        const ProtectedFolder folder = rig.stored(work2);
        QCOMPARE(folder.name, QString("Work2"));
        QVERIFY(folder.isLocked && folder.enabled);
        QCOMPARE(folder.unlockMinutes, qint64(25));
        QVERIFY(!AccessControlLock::isAccessible(work2));
        QCOMPARE(rig.lastEvent().kind, LogEventKind::folderRelocked);
        QCOMPARE(rig.lastEvent().detail, QString("Added and locked"));
        QCOMPARE(modeOf(work2), mode_t(0050));
    }

    void unlockRunsItsSessionAndExpires()
    {
        Rig rig;
        const QString path = rig.dir("Taxes", 0750);
        rig.engine->addFolder(path);
        ProtectedFolder folder = rig.stored(path);
        folder.unlockMinutes = 0;
        rig.policy->updateFolder(folder);

        rig.authenticator.script = {Result::success};
        QVERIFY(rig.unlockAndWait(folder));
        QCOMPARE(rig.authenticator.calls.first().reason, QString("unlock the folder “Taxes”"));
        QCOMPARE(rig.lastEvent().kind, LogEventKind::folderUnlocked);
        QCOMPARE(rig.lastEvent().detail, QString("Unlocked for 0 min"));
        QVERIFY(AccessControlLock::isAccessible(path));
        QCOMPARE(modeOf(path), mode_t(0750));
        QVERIFY(!rig.stored(path).isLocked);
        // Zero minutes still give a one-minute session.
        QCOMPARE(rig.sessions->deadlineFor(folder.id), rig.clock.now().addSecs(60));

        rig.clock.advance(59);
        QVERIFY(AccessControlLock::isAccessible(path));
        rig.clock.advance(1);
        QTRY_VERIFY(rig.stored(path).isLocked);
        QVERIFY(!AccessControlLock::isAccessible(path));
        QCOMPARE(rig.lastEvent().detail, QString("Unlock session expired"));
    }

    void failedOrCancelledUnlockKeepsTheFolderLocked()
    {
        Rig rig;
        const QString path = rig.dir("Vault");
        rig.engine->addFolder(path);
        const ProtectedFolder folder = rig.stored(path);

        rig.authenticator.script = {Result::fingerprintFailed};
        QVERIFY(rig.unlockAndWait(folder));
        QCOMPARE(rig.lastEvent().kind, LogEventKind::folderAuthFailed);
        QCOMPARE(rig.lastEvent().detail, QString("Fingerprint not recognized — try again"));

        rig.authenticator.script = {Result::userFallback, Result::userCancel};
        QVERIFY(rig.unlockAndWait(folder));
        QCOMPARE(rig.lastEvent().detail, QString("Authentication cancelled"));
        QVERIFY(rig.stored(path).isLocked);
        QVERIFY(!AccessControlLock::isAccessible(path));
        QVERIFY(!rig.sessions->hasFolderSession(folder.id));
    }

    void unlockWhilePromptOpenIsIgnored()
    {
        Rig rig;
        const QString path = rig.dir("Vault");
        rig.engine->addFolder(path);
        const ProtectedFolder folder = rig.stored(path);
        rig.engine->unlock(folder); // prompt stays open
        const qsizetype events = rig.log->events().size();
        rig.engine->unlock(folder);
        QCOMPARE(rig.authenticator.calls.size(), 1);
        QCOMPARE(rig.log->events().size(), events);
        rig.authenticator.reply(Result::userCancel);
        QTRY_COMPARE(rig.log->events().size(), events + 1);
    }

    void removalDuringSessionForgetsIt()
    {
        Rig rig;
        const QString path = rig.dir("Shared", 0755);
        rig.engine->addFolder(path);
        rig.authenticator.script = {Result::success};
        QVERIFY(rig.unlockAndWait(rig.stored(path)));
        const ProtectedFolder folder = rig.stored(path);
        rig.engine->lock(folder);
        QVERIFY(!AccessControlLock::isAccessible(path));
        QCOMPARE(rig.lastEvent().detail, QString("Locked"));

        rig.authenticator.script = {Result::success};
        QVERIFY(rig.unlockAndWait(folder));
        rig.engine->removeProtection(rig.stored(path));
        QVERIFY(rig.policy->folders().isEmpty());
        QCOMPARE(modeOf(path), mode_t(0755));
        QCOMPARE(rig.lastEvent().detail, QString("Protection removed"));
        const qsizetype events = rig.log->events().size();
        rig.clock.advance(3600);
        QTest::qWait(10);
        QCOMPARE(rig.log->events().size(), events);
        QVERIFY(AccessControlLock::isAccessible(path));
    }

    void relockAtLaunchLogsEachUnlockedFolder()
    {
        Rig rig;
        const QString a = rig.dir("A"), b = rig.dir("B"), c = rig.dir("C"), d = rig.dir("D");
        // As a crash would leave them: stored unlocked, directories open.
        rig.policy->setFolders({
            {QUuid::createUuid(), a, "A", true, false, 10},
            {QUuid::createUuid(), b, "B", true, true, 10},
            {QUuid::createUuid(), c, "C", false, false, 10},
            {QUuid::createUuid(), d, "D", true, false, 10},
        });
        rig.engine->relockAtLaunch();
        QCOMPARE(rig.log->events().size(), 2);
        QCOMPARE(rig.log->events().at(1).subject, QString("A"));
        QCOMPARE(rig.log->events().at(0).subject, QString("D"));
        QCOMPARE(rig.lastEvent().detail, QString("Relocked at launch — unlock session did not survive quit"));
        QVERIFY(!AccessControlLock::isAccessible(a) && !AccessControlLock::isAccessible(b));
        QVERIFY(AccessControlLock::isAccessible(c));
        QVERIFY(!rig.stored(c).isLocked);
        QVERIFY(rig.stored(a).isLocked && rig.stored(d).isLocked);
    }

    void relockAllRecordsOnlyWhenSomethingWasUnlocked()
    {
        Rig rig;
        rig.engine->relockAll("Manual lock-all");
        QVERIFY(rig.log->events().isEmpty());

        const QString path = rig.dir("Notes");
        rig.engine->addFolder(path);
        const qsizetype events = rig.log->events().size();
        rig.engine->relockAll("Screen locked");
        QCOMPARE(rig.log->events().size(), events);

        rig.authenticator.script = {Result::success};
        QVERIFY(rig.unlockAndWait(rig.stored(path)));
        rig.engine->relockAll("Computer going to sleep");
        QCOMPARE(rig.lastEvent().kind, LogEventKind::systemRelock);
        QCOMPARE(rig.lastEvent().subject, QString("Folders relocked"));
        QCOMPARE(rig.lastEvent().detail, QString("Computer going to sleep"));
        QVERIFY(rig.stored(path).isLocked);
        QVERIFY(!AccessControlLock::isAccessible(path));
        QVERIFY(rig.sessions->folderDeadlines().isEmpty());
    }

    void failedLockStillStoresLocked()
    {
        if (::geteuid() != 0)
            QSKIP("needs CAP_CHOWN to give a directory to another user");
        Rig rig;
        // Someone else's directory, open to everyone: chmod is refused, listing still works.
        const QString path = rig.dir("Foreign", 0777);
        QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
        rig.policy->addFolder({QUuid::createUuid(), path, "Foreign", true, false, 10});
        rig.engine->lock(rig.stored(path));
        QCOMPARE(rig.log->events().at(1).kind, LogEventKind::error);
        QCOMPARE(rig.log->events().at(1).subject, QString("Folder lock failed"));
        QCOMPARE(rig.log->events().at(1).detail, QString("Operation not permitted"));
        QCOMPARE(rig.lastEvent().detail, QString("Locked"));
        QVERIFY(rig.stored(path).isLocked);
        rig.policy->setFolders({});
    }
};

QTEST_GUILESS_MAIN(TestFolderProtectionEngine)
#include "TestFolderProtectionEngine.moc"
