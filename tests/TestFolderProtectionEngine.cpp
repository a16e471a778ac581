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

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

using Result = Authenticator::Result;

// Runs against real directories in a temporary home, with permission checks in force (CTest
// starts it without the capabilities that let root list any directory). The prompt answers
// synchronously through FakeAuthenticator::reply().
class TestFolderProtectionEngine : public QObject
{
    Q_OBJECT

    struct Rig
    {
        QTemporaryDir root;
        QString home = root.path() + "/home";
        // Set before the stores below are built: they find their files through it. The user's
        // music folder is called "Musik" here.
        bool environment = [this] {
            qputenv("XDG_DATA_HOME", QFile::encodeName(home + "/.local/share"));
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + "/.config"));
            QFile userDirs(home + "/.config/user-dirs.dirs");
            return QDir().mkpath(home + "/.local/share") && QDir().mkpath(home + "/.config") &&
                   userDirs.open(QIODevice::WriteOnly) &&
                   userDirs.write("XDG_MUSIC_DIR=\"$HOME/Musik\"\n") > 0;
        }();
        FakeClock clock;
        FakeAuthenticator authenticator;
        FakeSecretStore secrets;
        KeychainService keychain{secrets};
        PolicyStore policy;
        EventLog log;
        SessionManager sessions{clock};
        AuthenticationService auth{authenticator, keychain};
        FolderProtectionEngine engine{policy, auth, sessions, log, home, DataDirectory::path()};

        Rig()
        {
            sessions.onFolderSessionExpired = [this](const QUuid& id) { engine.sessionExpired(id); };
        }
        ~Rig()
        {
            // Give every directory its owner bits back so the temporary tree can be removed.
            for (const ProtectedFolder& folder : policy.folders())
                AccessControlLock::unlockAndVerify(folder.path);
            qunsetenv("XDG_DATA_HOME");
            qunsetenv("XDG_CONFIG_HOME");
        }
        QString dir(const QString& relative, mode_t mode = 0750)
        {
            const QString path = home + "/" + relative;
            return QDir().mkpath(path) && ::chmod(QFile::encodeName(path), mode) == 0 ? path : QString();
        }
        ProtectedFolder stored(const QString& p) const
        {
            const auto it = std::ranges::find(policy.folders(), p, &ProtectedFolder::path);
            return it == policy.folders().end() ? ProtectedFolder() : *it;
        }
        // The record as stored and whether its directory can be listed, e.g. "locked, closed".
        QString state(const QString& path) const
        {
            return QString(stored(path).isLocked ? "locked" : "unlocked") +
                   (AccessControlLock::isAccessible(path) ? ", open" : ", closed");
        }
        void unlock(const QString& path, Result result)
        {
            engine.unlock(stored(path));
            authenticator.reply(result);
        }
        // What the log recorded since the last call, oldest first, as "kind: subject: detail".
        QStringList events()
        {
            QStringList out;
            for (const LogEvent& e : log.events())
                out.prepend(rawValue(e.kind) + ": " + e.subject + ": " + e.detail);
            log.clear();
            return out;
        }
    };

private slots:
    // Each is refused with the same logged reason, and nothing is stored.
    void refusals()
    {
        Rig rig;
        for (const char* dir : {"Documents", "Downloads", "Musik", "Work/sub", "Projects/Client"})
            rig.dir(dir);
        QVERIFY(QDir().mkpath(rig.root.path() + "/outside"));
        QVERIFY(QFile(rig.home + "/notes.txt").open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(rig.home + "/.local/share/Veilmark", rig.home + "/datalink"));
        rig.engine.addFolder(rig.home + "/Work");
        rig.engine.addFolder(rig.home + "/Projects/Client");
        rig.events();
        for (const char* relative : {"", "Documents", "Downloads/", "../outside", "notes.txt", "gone",
                                     "Musik", // named in user-dirs.dirs
                                     // Veilmark's own data directory, a folder containing it, a link to it
                                     ".local/share/Veilmark", ".local", "datalink",
                                     // a protected folder, inside one, containing one (Projects/Client)
                                     "Work", "Work/sub", "Projects"}) {
            rig.engine.addFolder(rig.home + "/" + relative);
            QCOMPARE(rig.events(),
                     QStringList("error: Can't protect folder: " +
                                 QFileInfo(QDir::cleanPath(rig.home + "/" + relative)).fileName() +
                                 " is a system or already-protected location."));
        }
        QCOMPARE(rig.policy.folders().size(), 2);
    }

    // Added locked with the default minutes. Failed, repeated while the prompt is open (ignored),
    // cancelled: it stays locked. Granted for zero minutes: open for one, then relocked.
    void addThenUnlockForASessionThatExpires()
    {
        Rig rig;
        VeilmarkSettings settings = rig.policy.settings();
        settings.defaultFolderUnlockMinutes = 25;
        rig.policy.setSettings(settings);
        rig.engine.addFolder(rig.dir("Work"));
        // Only the path followed by "/" counts as inside: Work2 is a sibling.
        const QString path = rig.dir("Work2");
        rig.engine.addFolder(rig.home + "/./Work2/");
        QCOMPARE(rig.stored(path).unlockMinutes, 25);
        QCOMPARE(rig.state(path), "locked, closed");

        rig.unlock(path, Result::fingerprintFailed);
        QCOMPARE(rig.authenticator.calls.first().reason, "unlock the folder “Work2”");
        rig.engine.unlock(rig.stored(path));
        rig.unlock(path, Result::userCancel);
        QCOMPARE(rig.state(path), "locked, closed");
        ProtectedFolder folder = rig.stored(path);
        folder.unlockMinutes = 0;
        rig.policy.updateFolder(folder);
        rig.unlock(path, Result::success);
        QCOMPARE(rig.state(path), "unlocked, open");
        rig.clock.advance(60);
        QCoreApplication::sendPostedEvents(); // the expiry the alarm queued
        QCOMPARE(rig.state(path), "locked, closed");
        QCOMPARE(rig.events(), QStringList({"folderRelocked: Work: Added and locked",
                                            "folderRelocked: Work2: Added and locked",
                                            "folderAuthFailed: Work2: Fingerprint not recognized — try again",
                                            "folderAuthFailed: Work2: Authentication cancelled",
                                            "folderUnlocked: Work2: Unlocked for 0 min",
                                            "folderRelocked: Work2: Unlock session expired"}));
    }

    // As a crash would leave them: stored unlocked, directories open; C is disabled. Lock-all
    // records one event, and only when it relocked something. Locking by hand and removing
    // protection end the session for good; removal opens the folder.
    void relockAtLaunchByHandAndAll()
    {
        Rig rig;
        const QString a = rig.dir("A"), b = rig.dir("B"), c = rig.dir("C"), d = rig.dir("D");
        rig.policy.setFolders({{QUuid::createUuid(), a, "A", true, false},
                               {QUuid::createUuid(), b, "B", true, true},
                               {QUuid::createUuid(), c, "C", false, false},
                               {QUuid::createUuid(), d, "D", true, false}});
        rig.engine.relockAtLaunch();
        rig.engine.relockAll("Screen locked");
        QCOMPARE(QStringList({rig.state(a), rig.state(b), rig.state(c), rig.state(d)}),
                 QStringList({"locked, closed", "locked, closed", "unlocked, open", "locked, closed"}));
        rig.unlock(a, Result::success);
        rig.unlock(d, Result::success);
        rig.engine.lock(rig.stored(a));
        QVERIFY(!rig.sessions.hasFolderSession(rig.stored(a).id));
        rig.engine.relockAll("Computer going to sleep");
        QCOMPARE(QStringList({rig.state(a), rig.state(c), rig.state(d)}),
                 QStringList({"locked, closed", "unlocked, open", "locked, closed"}));
        QVERIFY(rig.sessions.folderDeadlines().isEmpty());

        rig.unlock(d, Result::success);
        rig.engine.removeProtection(rig.stored(d));
        rig.engine.removeProtection(rig.stored(b));
        QVERIFY(rig.policy.folders().size() == 2 && rig.sessions.folderDeadlines().isEmpty());
        QVERIFY(AccessControlLock::isAccessible(b) && AccessControlLock::isAccessible(d));
        rig.clock.advance(3600);
        QCoreApplication::sendPostedEvents();
        const QString relaunched = "Relocked at launch — unlock session did not survive quit";
        QCOMPARE(rig.events(),
                 QStringList(
                     {"folderRelocked: A: " + relaunched, "folderRelocked: D: " + relaunched,
                      "folderUnlocked: A: Unlocked for 10 min", "folderUnlocked: D: Unlocked for 10 min",
                      "folderRelocked: A: Locked", "systemRelock: Folders relocked: Computer going to sleep",
                      "folderUnlocked: D: Unlocked for 10 min", "folderRelocked: D: Protection removed",
                      "folderRelocked: B: Protection removed"}));
    }

    // Someone else's directory, open to everyone: chmod is refused and listing still works. The
    // failure is logged, and the folder is stored locked all the same.
    void failedLockStillStoresLocked()
    {
        Rig rig;
        const QString path = rig.dir("Foreign", 0777);
        if (::chown(QFile::encodeName(path), 65534, 65534) != 0)
            QSKIP("needs CAP_CHOWN to give a directory to another user");
        rig.policy.addFolder({QUuid::createUuid(), path, "Foreign", true, false});
        rig.engine.lock(rig.stored(path));
        QCOMPARE(rig.state(path), "locked, open");
        QCOMPARE(rig.events(), QStringList({"error: Folder lock failed: Operation not permitted",
                                            "folderRelocked: Foreign: Locked"}));
        rig.policy.setFolders({});
    }
};

QTEST_GUILESS_MAIN(TestFolderProtectionEngine)
#include "TestFolderProtectionEngine.moc"
