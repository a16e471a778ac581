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
#include "store/PolicySnapshot.h"
#include "store/PolicyStore.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <sched.h>
#include <sys/mount.h>
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
        QVERIFY(QFile::link(rig.dir("Plain"), rig.home + "/plainlink"));
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
        rig.engine.addFolder(rig.home + "/plainlink");
        QCOMPARE(rig.events(), QStringList("error: Can't protect folder: plainlink is a symbolic link, not a "
                                           "folder — add the folder it leads to."));
        if (::chown(QFile::encodeName(rig.dir("Foreign", 0777)), 65534, 65534) == 0) {
            rig.engine.addFolder(rig.home + "/Foreign");
            QCOMPARE(rig.events(),
                     QStringList("error: Can't protect folder: Foreign belongs to another user; "
                                 "only your own folders can be locked."));
        }
        QCOMPARE(rig.policy.folders().size(), 2);
        QList<ProtectedFolder> full;
        for (int i = 0; i < PolicySnapshot::MaxFolders; ++i)
            full.append({QUuid::createUuid(), QStringLiteral("/nonexistent/%1").arg(i), "F"});
        rig.policy.setFolders(full);
        rig.engine.addFolder(rig.home + "/Plain");
        QCOMPARE(rig.events(),
                 QStringList("error: Can't protect folder: Plain: no more than 10,000 folders can "
                             "be protected."));
        rig.policy.setFolders({});
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

    // As a crash would leave them: stored unlocked, directories open; C is disabled. Launch and
    // lock-all each write the policy once and record one event, only when they relocked something. Locking by
    // hand and removing protection end the session for good; removal opens the folder.
    void relockAtLaunchByHandAndAll()
    {
        Rig rig;
        const QString a = rig.dir("A"), b = rig.dir("B"), c = rig.dir("C"), d = rig.dir("D");
        rig.policy.setFolders({{QUuid::createUuid(), a, "A", true, false},
                               {QUuid::createUuid(), b, "B", true, true},
                               {QUuid::createUuid(), c, "C", false, false},
                               {QUuid::createUuid(), d, "D", true, false}});
        QSignalSpy writes(&rig.policy, &PolicyStore::foldersChanged);
        rig.engine.relockAtLaunch();
        rig.engine.relockAll("Screen locked");
        QCOMPARE(writes.size(), 1);
        QCOMPARE(QStringList({rig.state(a), rig.state(b), rig.state(c), rig.state(d)}),
                 QStringList({"locked, closed", "locked, closed", "unlocked, open", "locked, closed"}));
        rig.unlock(a, Result::success);
        rig.unlock(d, Result::success);
        rig.engine.lock(rig.stored(a));
        QVERIFY(!rig.sessions.hasFolderSession(rig.stored(a).id));
        QCOMPARE(::chmod(QFile::encodeName(b), 0750), 0); // opened by hand, not yet noticed
        rig.engine.relockAll("Computer going to sleep");
        QCOMPARE(QStringList({rig.state(a), rig.state(b), rig.state(c), rig.state(d)}),
                 QStringList({"locked, closed", "locked, closed", "unlocked, open", "locked, closed"}));
        QVERIFY(rig.sessions.folderDeadlines().isEmpty());

        rig.unlock(d, Result::success);
        rig.engine.removeProtection(rig.stored(d));
        rig.engine.removeProtection(rig.stored(b));
        QVERIFY(rig.policy.folders().size() == 2 && rig.sessions.folderDeadlines().isEmpty());
        QVERIFY(AccessControlLock::isAccessible(b) && AccessControlLock::isAccessible(d));
        rig.clock.advance(3600);
        QCoreApplication::sendPostedEvents();
        const QString relaunched = "Relocked at launch — unlock session did not survive quit";
        QCOMPARE(
            rig.events(),
            QStringList({"folderRelocked: 2 folders: " + relaunched, "folderUnlocked: A: Unlocked for 10 min",
                         "folderUnlocked: D: Unlocked for 10 min", "folderRelocked: A: Locked",
                         "systemRelock: Folders relocked: Computer going to sleep",
                         "folderUnlocked: D: Unlocked for 10 min", "folderRelocked: D: Protection removed",
                         "folderRelocked: B: Protection removed"}));
    }

    // What is at the path when an unlocked folder is relocked (at the next launch) decides: only
    // the directory that was added is locked; anything else is an error with its own state, left
    // exactly as it is, and never recorded or shown as locked.
    void onlyTheFolderThatWasAdded_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("event"); // %1: the folder's path
        const QString failed = "error: Folder lock failed: Box: ";
        QTest::newRow("renamed") << "mv P/Box P/Box2"
                                 << "Missing" << failed + "Missing — nothing is at %1";
        QTest::newRow("another directory")
            << "mv P/Box P/Box2 && mkdir P/Box"
            << "Moved or replaced" << failed + "Moved or replaced — another folder is at %1";
        QTest::newRow("a link to the data directory")
            << "mv P/Box P/Box2 && ln -s ../.local/share/Veilmark P/Box"
            << "Moved or replaced" << failed + "Moved or replaced — a link or a file is at %1";
        QTest::newRow("a file") << "rmdir P/Box && touch P/Box"
                                << "Moved or replaced"
                                << failed + "Moved or replaced — a link or a file is at %1";
        QTest::newRow("parent moved out of the home, linked back")
            << "mv P .. && ln -s ../P P"
            << "Moved or replaced" << failed + "Moved or replaced — it now leads to %2/P/Box";
        QTest::newRow("given away") << "chown 65534 P/Box"
                                    << "Not yours" << failed + "Not yours — it belongs to another user";
        QTest::newRow("stored before identities were kept")
            << ""
            << "Locked"
            << "folderRelocked: Box: Relocked at launch — unlock session did not survive quit";
    }

    void onlyTheFolderThatWasAdded()
    {
        QFETCH(QString, change);
        QFETCH(QString, status);
        QFETCH(QString, event);
        Rig rig;
        const QString path = rig.dir("P/Box");
        rig.engine.addFolder(path);
        rig.unlock(path, Result::success);
        const ProtectedFolder added = rig.stored(path);
        QVERIFY(added.hasIdentity());
        if (change.isEmpty()) {
            ProtectedFolder old = added;
            old.device = old.inode = 0;
            rig.policy.updateFolder(old);
        }
        if (QProcess::execute(
                "sh", {"-c", "cd '" + rig.home + "' && " + (change.isEmpty() ? "true" : change)}) != 0)
            QSKIP("cannot make the change here (chown needs CAP_CHOWN)");
        const QString dataDirectory = rig.home + "/.local/share/Veilmark";
        rig.events();

        rig.engine.relockAtLaunch();
        QCOMPARE(rig.engine.status(added.id).text(), status);
        QCOMPARE(rig.events(),
                 QStringList(QString(event).replace("%1", path).replace("%2", rig.root.path())));
        QCOMPARE(rig.stored(path).device, added.device);
        QCOMPARE(rig.stored(path).inode, added.inode);
        // Whatever stands at the path now, and the folder wherever it went, are as they were.
        for (const QString& other : {path, rig.home + "/P/Box2", rig.root.path() + "/P/Box", dataDirectory}) {
            if (QFileInfo(other).isDir() && status != "Locked" && status != "Not yours")
                QVERIFY2(AccessControlLock::isAccessible(other), qPrintable(other));
        }
        rig.engine.lock(rig.stored(path));
        QCOMPARE(rig.engine.status(added.id).text(), status);
        QVERIFY(status == "Locked" || !rig.events().join('\n').contains("Box: Locked"));
        ::chown(QFile::encodeName(path), ::getuid(), ::getgid());
    }

    // Opened behind Veilmark's back by another process: relocked at once and recorded. Renamed
    // away: shown missing and recorded, not left claiming to be locked.
    void noticesChangesMadeOutside()
    {
        Rig rig;
        const QString path = rig.dir("Box");
        rig.engine.addFolder(path);
        const QUuid id = rig.stored(path).id;
        rig.events();
        QCOMPARE(QProcess::execute("chmod", {"u+rwx", path}), 0);
        QTRY_VERIFY(!rig.log.events().isEmpty());
        QCOMPARE(rig.events(), QStringList("folderRelocked: Box: Permissions changed outside Veilmark"));
        QCOMPARE(rig.state(path), "locked, closed");
        QCOMPARE(QProcess::execute("mv", {path, path + "2"}), 0);
        QTRY_COMPARE(rig.engine.status(id).text(), "Missing");
        QCOMPARE(rig.events(), QStringList("error: Box: Missing — nothing is at " + path));
        QVERIFY(!AccessControlLock::isAccessible(path + "2"));
        QVERIFY(AccessControlLock::unlockAndVerify(path + "2") == std::nullopt);
    }

    // A process already inside keeps what it holds; locking names it.
    void namesProcessesStillInside()
    {
        Rig rig;
        const QString path = rig.dir("Box");
        QProcess inside;
        inside.setWorkingDirectory(path);
        inside.start("sleep", {"30"});
        QVERIFY(inside.waitForStarted());
        const auto stop = qScopeGuard([&] {
            inside.kill();
            inside.waitForFinished();
        });
        rig.engine.addFolder(path);
        QTRY_COMPARE(rig.log.events().size(), 2);
        QCOMPARE(rig.events(),
                 QStringList(
                     {"folderRelocked: Box: Added and locked",
                      QString("error: Box: Still open in sleep (%1) — they keep access until they leave it")
                          .arg(inside.processId())}));
    }

    // Something mounted over a locked folder shows other content at its path: caught through the
    // mount table, not mistaken for the folder.
    void noticesAMountOverTheFolder()
    {
        // A private mount namespace keeps the mount away from the rest of the system; it must be
        // entered before the engine opens the mount table it watches.
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            QSKIP("cannot enter a private mount namespace here");
        Rig rig;
        const QString path = rig.dir("Box");
        rig.engine.addFolder(path);
        const QUuid id = rig.stored(path).id;
        QCOMPARE(rig.engine.status(id).text(), "Locked");
        QCoreApplication::processEvents(); // the lock's own change, reported by inotify
        QVERIFY(::mount("none", QFile::encodeName(path), "tmpfs", 0, "mode=0700") == 0);
        const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(path), MNT_DETACH); });
        QTRY_COMPARE(rig.engine.status(id).text(), "Moved or replaced");
    }
};

QTEST_GUILESS_MAIN(TestFolderProtectionEngine)
#include "TestFolderProtectionEngine.moc"
