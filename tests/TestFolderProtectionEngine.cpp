#include "TestDataHome.h"
#include "auth/AuthenticationService.h"
#include "auth/KeychainService.h"
#include "auth/SessionManager.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeSecretStore.h"
#include "folders/FolderProtectionEngine.h"
#include "io/AccessControlLock.h"
#include "io/DataDirectory.h"
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
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

// Lets the expiry that an alarm queued reach the engine.
void drainEvents()
{
    QCoreApplication::sendPostedEvents();
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
        // Set before the stores below are built: they find their files through it.
        bool environment = [this] {
            qputenv("XDG_DATA_HOME", QFile::encodeName(home + "/.local/share"));
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + "/.config"));
            return QDir().mkpath(home + "/.local/share");
        }();
        FakeClock clock;
        FakeAuthenticator authenticator;
        FakeSecretStore secrets;
        KeychainService keychain{secrets};
        PolicyStore policy;
        EventLog log;
        SessionManager sessions{clock};
        AuthenticationService auth{authenticator, keychain};
        std::unique_ptr<FolderProtectionEngine> engine = makeEngine();

        Rig()
        {
            sessions.onFolderSessionExpired = [this](const QUuid& id) { engine->sessionExpired(id); };
        }
        ~Rig()
        {
            // Give every directory its owner bits back so the temporary tree can be removed.
            for (const ProtectedFolder& folder : policy.folders())
                AccessControlLock::unlockAndVerify(folder.path);
            qunsetenv("XDG_DATA_HOME");
            qunsetenv("XDG_CONFIG_HOME");
        }

        std::unique_ptr<FolderProtectionEngine> makeEngine()
        {
            return std::make_unique<FolderProtectionEngine>(policy, auth, sessions, log, home,
                                                            DataDirectory::path());
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
            for (const ProtectedFolder& f : policy.folders())
                if (f.path == path)
                    return f;
            return {};
        }
        bool unlockAndWait(const ProtectedFolder& folder)
        {
            const qsizetype before = log.events().size();
            engine->unlock(folder);
            return QTest::qWaitFor([&] { return log.events().size() > before && !auth.isAuthenticating(); },
                                   2000);
        }
        // "kind: subject: detail" of an event, newest first.
        QString event(qsizetype newest = 0) const
        {
            const LogEvent& e = log.events().at(newest);
            return rawValue(e.kind) + ": " + e.subject + ": " + e.detail;
        }
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

    // Each is refused with the same logged reason, and nothing is stored.
    void refusals()
    {
        Rig rig;
        for (const char* dir : {"Documents", "Downloads", "Musik", "Work/sub", "Projects/Client", ".config"})
            rig.dir(dir);
        QVERIFY(QDir().mkpath(rig.root.path() + "/outside"));
        QVERIFY(QFile(rig.home + "/notes.txt").open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(rig.home + "/.local/share/Veilmark", rig.home + "/datalink"));
        QFile userDirs(rig.home + "/.config/user-dirs.dirs");
        QVERIFY(userDirs.open(QIODevice::WriteOnly));
        userDirs.write("# written by xdg-user-dirs-update\nXDG_MUSIC_DIR=\"$HOME/Musik\"\n");
        userDirs.close();
        rig.engine = rig.makeEngine(); // reads user-dirs.dirs
        rig.engine->addFolder(rig.home + "/Work");
        rig.engine->addFolder(rig.home + "/Projects/Client");

        for (const char* relative : {"", "Documents", "Downloads/", "../outside", "notes.txt", "gone",
                                     "Musik", // named in user-dirs.dirs
                                     // Veilmark's own data directory, a folder containing it, a link to it
                                     ".local/share/Veilmark", ".local", "datalink",
                                     // a protected folder, inside one, containing one (Projects/Client)
                                     "Work", "Work/sub", "Projects"}) {
            const qsizetype events = rig.log.events().size();
            const QString path = rig.home + "/" + relative;
            rig.engine->addFolder(path);
            QCOMPARE(rig.log.events().size(), events + 1);
            QCOMPARE(rig.event(),
                     "error: Can't protect folder: " + QFileInfo(QDir::cleanPath(path)).fileName() +
                         " is a system or already-protected location.");
        }
        QCOMPARE(rig.policy.folders().size(), 2);
    }

    void addThenUnlockForASessionThatExpires()
    {
        Rig rig;
        VeilmarkSettings settings = rig.policy.settings();
        settings.defaultFolderUnlockMinutes = 25;
        rig.policy.setSettings(settings);
        rig.engine->addFolder(rig.dir("Work"));
        // Only the path followed by "/" counts as inside: Work2 is a sibling.
        const QString path = rig.dir("Work2", 0750);
        rig.engine->addFolder(rig.home + "/./Work2/");
        ProtectedFolder folder = rig.stored(path);
        QVERIFY(folder.isLocked && folder.enabled);
        QCOMPARE(folder.unlockMinutes, qint64(25));
        QCOMPARE(modeOf(path), mode_t(0050));
        QCOMPARE(rig.event(), QString("folderRelocked: Work2: Added and locked"));

        // Failed, repeated while the prompt is open (ignored), cancelled: the folder stays locked.
        rig.authenticator.script = {Result::fingerprintFailed};
        QVERIFY(rig.unlockAndWait(folder));
        QCOMPARE(rig.event(), QString("folderAuthFailed: Work2: Fingerprint not recognized — try again"));
        QCOMPARE(rig.authenticator.calls.first().reason, QString("unlock the folder “Work2”"));
        rig.engine->unlock(folder);
        const qsizetype events = rig.log.events().size();
        rig.engine->unlock(folder);
        QCOMPARE(rig.authenticator.calls.size(), 2);
        rig.authenticator.reply(Result::userCancel);
        QTRY_COMPARE(rig.log.events().size(), events + 1);
        QCOMPARE(rig.event(), QString("folderAuthFailed: Work2: Authentication cancelled"));
        QVERIFY(rig.stored(path).isLocked && !AccessControlLock::isAccessible(path));
        QVERIFY(!rig.sessions.hasFolderSession(folder.id));

        // Zero minutes still give a one-minute session, which relocks when it expires.
        folder.unlockMinutes = 0;
        rig.policy.updateFolder(folder);
        rig.authenticator.script = {Result::success};
        QVERIFY(rig.unlockAndWait(folder));
        QCOMPARE(rig.event(), QString("folderUnlocked: Work2: Unlocked for 0 min"));
        QCOMPARE(modeOf(path), mode_t(0750));
        QVERIFY(!rig.stored(path).isLocked);
        rig.clock.advance(59);
        drainEvents();
        QVERIFY(AccessControlLock::isAccessible(path));
        rig.clock.advance(1);
        drainEvents();
        QVERIFY(rig.stored(path).isLocked && !AccessControlLock::isAccessible(path));
        QCOMPARE(rig.event(), QString("folderRelocked: Work2: Unlock session expired"));
    }

    void lockByHandThenRemoveDuringASession()
    {
        Rig rig;
        const QString path = rig.dir("Shared", 0755);
        rig.engine->addFolder(path);
        rig.authenticator.script = {Result::success, Result::success};
        QVERIFY(rig.unlockAndWait(rig.stored(path)));
        rig.engine->lock(rig.stored(path));
        QVERIFY(!AccessControlLock::isAccessible(path) && rig.stored(path).isLocked);
        QVERIFY(rig.sessions.folderDeadlines().isEmpty());
        QCOMPARE(rig.event(), QString("folderRelocked: Shared: Locked"));

        // Removed while unlocked: the mode is given back and the session's expiry is forgotten.
        QVERIFY(rig.unlockAndWait(rig.stored(path)));
        rig.engine->removeProtection(rig.stored(path));
        QVERIFY(rig.policy.folders().isEmpty() && rig.sessions.folderDeadlines().isEmpty());
        QCOMPARE(modeOf(path), mode_t(0755));
        QCOMPARE(rig.event(), QString("folderRelocked: Shared: Protection removed"));
        const qsizetype events = rig.log.events().size();
        rig.clock.advance(3600);
        drainEvents();
        QCOMPARE(rig.log.events().size(), events);
        QCOMPARE(modeOf(path), mode_t(0755));
    }

    void relockAtLaunchAndLockAll()
    {
        Rig rig;
        const QString a = rig.dir("A"), b = rig.dir("B"), c = rig.dir("C"), d = rig.dir("D");
        // As a crash would leave them: stored unlocked, directories open; C is disabled.
        rig.policy.setFolders({{QUuid::createUuid(), a, "A", true, false},
                               {QUuid::createUuid(), b, "B", true, true},
                               {QUuid::createUuid(), c, "C", false, false},
                               {QUuid::createUuid(), d, "D", true, false}});
        rig.engine->relockAtLaunch();
        QCOMPARE(rig.log.events().size(), 2);
        QCOMPARE(rig.event(1),
                 QString("folderRelocked: A: Relocked at launch — unlock session did not survive quit"));
        QCOMPARE(rig.event(0),
                 QString("folderRelocked: D: Relocked at launch — unlock session did not survive quit"));
        QVERIFY(!AccessControlLock::isAccessible(a) && !AccessControlLock::isAccessible(b));
        QVERIFY(AccessControlLock::isAccessible(c) && !rig.stored(c).isLocked);
        QVERIFY(rig.stored(a).isLocked && rig.stored(d).isLocked);

        // Lock-all records one event, and only when it relocked something.
        rig.engine->relockAll("Screen locked");
        QCOMPARE(rig.log.events().size(), 2);
        rig.authenticator.script = {Result::success, Result::success};
        QVERIFY(rig.unlockAndWait(rig.stored(a)) && rig.unlockAndWait(rig.stored(d)));
        rig.engine->relockAll("Computer going to sleep");
        QCOMPARE(rig.log.events().size(), 2 + 3);
        QCOMPARE(rig.event(), QString("systemRelock: Folders relocked: Computer going to sleep"));
        QVERIFY(rig.stored(a).isLocked && rig.stored(d).isLocked && !rig.stored(c).isLocked);
        QVERIFY(!AccessControlLock::isAccessible(a) && !AccessControlLock::isAccessible(d));
        QVERIFY(rig.sessions.folderDeadlines().isEmpty());
    }

    void failedLockStillStoresLocked()
    {
        Rig rig;
        // Someone else's directory, open to everyone: chmod is refused, listing still works.
        const QString path = rig.dir("Foreign", 0777);
        if (::chown(QFile::encodeName(path).constData(), 65534, 65534) != 0)
            QSKIP("needs CAP_CHOWN to give a directory to another user");
        rig.policy.addFolder({QUuid::createUuid(), path, "Foreign", true, false});
        rig.engine->lock(rig.stored(path));
        QCOMPARE(rig.event(1), QString("error: Folder lock failed: Operation not permitted"));
        QCOMPARE(rig.event(0), QString("folderRelocked: Foreign: Locked"));
        QVERIFY(rig.stored(path).isLocked);
        rig.policy.setFolders({});
    }
};

QTEST_GUILESS_MAIN(TestFolderProtectionEngine)
#include "TestFolderProtectionEngine.moc"
