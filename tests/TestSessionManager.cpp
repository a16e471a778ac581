#include "auth/SessionManager.h"
#include "fakes/FakeClock.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <limits>

// The fake clock fires alarms synchronously; the manager hops to the event loop before it
// touches its maps, so each step drains the queue.
static void drainEvents()
{
    QCoreApplication::sendPostedEvents();
}

class TestSessionManager : public QObject
{
    Q_OBJECT

    struct Rig
    {
        FakeClock clock;
        SessionManager manager{clock};
        QList<QUuid> expired;
        Rig()
        {
            manager.onFolderSessionExpired = [this](const QUuid& id) { expired.append(id); };
        }
        void advance(qint64 seconds)
        {
            clock.advance(seconds);
            drainEvents();
        }
    };

private slots:
    // A session lasts its minutes, one at the least, with its alarm armed for the deadline.
    void sessionLength()
    {
        Rig rig;
        const std::pair<qint64, qint64> lengths[] = {
            {0, 60}, {1, 60}, {-5, 60}, {std::numeric_limits<qint64>::min(), 60}, {2, 120}};
        QList<QDateTime> deadlines;
        for (const auto& [minutes, seconds] : lengths) {
            const QUuid id = QUuid::createUuid();
            rig.manager.startFolderSession(id, minutes);
            deadlines.append(rig.clock.now().addSecs(seconds));
            QCOMPARE(rig.manager.deadlineFor(id), deadlines.last());
        }
        QCOMPARE(rig.clock.pendingDeadlines(), deadlines);
    }

    // Sessions expire independently, each reported once, also when the clock jumps far past their
    // deadlines (a resume from suspend, a clock correction).
    void expiryEndsTheSessionThenReportsItOnce()
    {
        Rig rig;
        const QUuid shortId = QUuid::createUuid(), longId = QUuid::createUuid(), huge = QUuid::createUuid();
        QSignalSpy changes(&rig.manager, &SessionManager::folderDeadlinesChanged);
        rig.manager.startFolderSession(longId, 10);
        rig.manager.startFolderSession(shortId, 2);
        rig.manager.startFolderSession(huge, std::numeric_limits<qint64>::max());
        QVERIFY(rig.manager.deadlineFor(huge) > rig.clock.now().addYears(50));
        const QDateTime shortDeadline = rig.manager.deadlineFor(shortId);

        rig.advance(2 * 60 - 1);
        QVERIFY(rig.expired.isEmpty());

        // The alarm only queues the expiry; the session ends, then it is reported.
        bool endedWhenReported = false;
        rig.manager.onFolderSessionExpired = [&](const QUuid& id) {
            rig.expired.append(id);
            endedWhenReported = !rig.manager.hasFolderSession(id) && rig.clock.heldAlarms() == 2;
        };
        rig.clock.advanceTo(shortDeadline);
        QVERIFY(rig.manager.hasFolderSession(shortId));
        drainEvents();
        QCOMPARE(rig.expired, QList<QUuid>{shortId});
        QVERIFY(endedWhenReported);

        rig.advance(qint64{10} * 365 * 24 * 3600);
        QCOMPARE(rig.expired, (QList<QUuid>{shortId, longId}));
        QCOMPARE(rig.manager.folderDeadlines().keys(), QList<QUuid>{huge});
        QCOMPARE(changes.count(), 3 + 2);

        // Without a callback the session still ends.
        rig.manager.onFolderSessionExpired = nullptr;
        rig.manager.startFolderSession(shortId, 1);
        rig.advance(60);
        QVERIFY(!rig.manager.hasFolderSession(shortId));
    }

    void restartReplacesTheAlarmAndAnyQueuedExpiry()
    {
        Rig rig;
        const QUuid id = QUuid::createUuid();
        rig.manager.startFolderSession(id, 1);
        rig.clock.advance(60); // the alarm fired; its expiry waits in the event queue
        rig.manager.startFolderSession(id, 5);
        drainEvents();
        QVERIFY(rig.expired.isEmpty());

        rig.advance(30);
        rig.manager.startFolderSession(id, 10);
        const QDateTime restarted = rig.clock.now().addSecs(600);
        QCOMPARE(rig.manager.deadlineFor(id), restarted);
        QCOMPARE(rig.clock.heldAlarms(), 1);
        // Past the replaced deadline: the old alarm must not end the restarted session.
        rig.advance(5 * 60);
        QVERIFY(rig.manager.hasFolderSession(id));

        rig.clock.advanceTo(restarted);
        drainEvents();
        QCOMPARE(rig.expired, QList<QUuid>{id});
        QVERIFY(!rig.manager.hasFolderSession(id));
    }

    // Ending by hand is silent, also when the alarm already fired and its expiry is queued.
    void endingSessionsNeverReportsExpiry()
    {
        Rig rig;
        const QUuid ended = QUuid::createUuid(), kept = QUuid::createUuid();
        rig.manager.startFolderSession(ended, 1);
        rig.manager.startFolderSession(kept, 3);
        QSignalSpy changes(&rig.manager, &SessionManager::folderDeadlinesChanged);
        rig.manager.endFolderSession(QUuid::createUuid());
        rig.manager.endFolderSession(QUuid());
        QCOMPARE(changes.count(), 0);

        rig.clock.advance(60);
        QCOMPARE(rig.clock.pendingAlarms(), 1);
        rig.manager.endFolderSession(ended);
        drainEvents();
        QCOMPARE(changes.count(), 1);
        QVERIFY(!rig.manager.deadlineFor(ended).isValid());
        QVERIFY(rig.manager.hasFolderSession(kept));
        QCOMPARE(rig.clock.heldAlarms(), 1);
        QVERIFY(rig.expired.isEmpty());

        // End-all: every removal is its own change, and the queued expiry of a due one is dropped.
        const QUuid due = QUuid::createUuid();
        rig.manager.startFolderSession(ended, 5);
        rig.manager.startFolderSession(due, 1);
        rig.clock.advance(60);
        QList<int> sizesSeen;
        connect(&rig.manager, &SessionManager::folderDeadlinesChanged, this,
                [&] { sizesSeen.append(rig.manager.folderDeadlines().size()); });
        const QList<QUuid> all = rig.manager.endAllFolderSessions();
        QCOMPARE(QSet<QUuid>(all.begin(), all.end()), (QSet<QUuid>{ended, kept, due}));
        QCOMPARE(all.size(), 3);
        QCOMPARE(sizesSeen, (QList<int>{2, 1, 0}));
        QCOMPARE(rig.clock.heldAlarms(), 0);
        rig.advance(3600);
        QVERIFY(rig.expired.isEmpty());
        QVERIFY(rig.manager.endAllFolderSessions().isEmpty());
        QCOMPARE(sizesSeen.size(), 3);
    }

    void destroyedManagerIgnoresAlarms()
    {
        FakeClock clock;
        int expiries = 0;
        for (const qint64 elapsed : {0, 60}) {
            // Destroyed with its alarms armed, or after one fired with its expiry still queued.
            SessionManager manager(clock);
            manager.onFolderSessionExpired = [&](const QUuid&) { ++expiries; };
            manager.startFolderSession(QUuid::createUuid(), 1);
            manager.startFolderSession(QUuid::createUuid(), 5);
            clock.advance(elapsed);
        }
        QCOMPARE(clock.heldAlarms(), 0);
        clock.advance(3600);
        drainEvents();
        QCOMPARE(expiries, 0);
    }

    void unlockedAppsPublishOnlyRealChanges()
    {
        Rig rig;
        QSignalSpy changes(&rig.manager, &SessionManager::unlockedAppsChanged);
        for (int round = 0; round < 2; ++round) {
            rig.manager.insertUnlockedApp("org.gnome.Calculator");
            rig.manager.setUnlockedApps({"org.gnome.Calculator", "firefox-esr"});
            rig.manager.removeUnlockedApp("firefox-esr");
        }
        // Setting the same set again or removing an absent one changes nothing.
        rig.manager.setUnlockedApps({"org.gnome.Calculator"});
        rig.manager.removeUnlockedApp("firefox-esr");
        QCOMPARE(changes.count(), 3 + 2); // the second round adds and removes firefox-esr again
        QCOMPARE(rig.manager.unlockedApps(), QSet<QString>{"org.gnome.Calculator"});
        QVERIFY(rig.manager.isAppUnlocked("org.gnome.Calculator") &&
                !rig.manager.isAppUnlocked("firefox-esr"));
    }
};

QTEST_GUILESS_MAIN(TestSessionManager)
#include "TestSessionManager.moc"
