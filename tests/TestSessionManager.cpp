#include "auth/SessionManager.h"
#include "fakes/FakeClock.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <limits>

class TestSessionManager : public QObject
{
    Q_OBJECT

    // The fake clock fires alarms synchronously; the manager hops to the event loop before it
    // touches its maps, so each step drains the queue.
    struct Rig
    {
        FakeClock clock;
        SessionManager manager{clock};
        QSignalSpy changes{&manager, &SessionManager::folderDeadlinesChanged};
        QList<QUuid> expired;
        const QUuid a = QUuid::createUuid(), b = QUuid::createUuid(), c = QUuid::createUuid();

        Rig()
        {
            manager.onFolderSessionExpired = [this](const QUuid& id) { expired.append(id); };
        }
        void advance(qint64 seconds)
        {
            clock.advance(seconds);
            QCoreApplication::sendPostedEvents();
        }
    };

private slots:
    // A session lasts its minutes, one at the least, with its alarm armed for the deadline. Sessions
    // expire independently, each reported once after it ended, also when the clock jumps far past
    // their deadlines (a resume from suspend, a clock correction).
    void sessionsExpireAtTheirDeadlines()
    {
        Rig rig;
        for (const qint64 minutes : {qint64(0), qint64(-5), std::numeric_limits<qint64>::min()})
            rig.manager.startFolderSession(QUuid::createUuid(), minutes);
        rig.manager.startFolderSession(rig.a, 10);
        rig.manager.startFolderSession(rig.b, 2);
        rig.manager.startFolderSession(rig.c, std::numeric_limits<qint64>::max());
        const QDateTime now = rig.clock.now(), huge = rig.manager.deadlineFor(rig.c);
        QVERIFY(huge > now.addYears(50));
        QCOMPARE(rig.clock.pendingDeadlines(),
                 QList<QDateTime>({now.addSecs(60), now.addSecs(60), now.addSecs(60), now.addSecs(120),
                                   now.addSecs(600), huge}));
        QCOMPARE(rig.manager.deadlineFor(rig.b), now.addSecs(120));
        rig.advance(2 * 60 - 1);
        rig.expired.clear();

        // The alarm only queues the expiry.
        bool endedWhenReported = false;
        rig.manager.onFolderSessionExpired = [&](const QUuid& id) {
            rig.expired.append(id);
            endedWhenReported = !rig.manager.hasFolderSession(id) && rig.clock.heldAlarms() == 2;
        };
        rig.clock.advance(1);
        QVERIFY(rig.expired.isEmpty() && rig.manager.hasFolderSession(rig.b));
        QCoreApplication::sendPostedEvents();
        QVERIFY(endedWhenReported);

        rig.advance(qint64{10} * 365 * 24 * 3600);
        QCOMPARE(rig.expired, (QList<QUuid>{rig.b, rig.a}));
        QCOMPARE(rig.manager.folderDeadlines().keys(), QList<QUuid>{rig.c});
        QCOMPARE(rig.changes.count(), 6 + 5);

        // Without a callback the session still ends.
        rig.manager.onFolderSessionExpired = nullptr;
        rig.manager.startFolderSession(rig.b, 1);
        rig.advance(60);
        QVERIFY(!rig.manager.hasFolderSession(rig.b));
    }

    // Restarting or ending a session drops its alarm, and with it an expiry the alarm already
    // queued. Ending is silent, each removal its own change; ending what has no session changes
    // nothing.
    void restartAndEndReplaceAnyQueuedExpiry()
    {
        Rig rig;
        rig.manager.startFolderSession(rig.a, 1);
        rig.clock.advance(60); // the alarm fired; its expiry waits in the event queue
        rig.manager.startFolderSession(rig.a, 5);
        rig.advance(30);
        rig.manager.startFolderSession(rig.a, 10);
        QCOMPARE(rig.clock.heldAlarms(), 1);
        rig.advance(10 * 60 - 1);
        QVERIFY(rig.expired.isEmpty());
        rig.advance(1);
        QCOMPARE(rig.expired, QList<QUuid>{rig.a});

        rig.manager.startFolderSession(rig.a, 1);
        rig.manager.startFolderSession(rig.b, 3);
        rig.manager.startFolderSession(rig.c, 1);
        rig.changes.clear();
        rig.manager.endFolderSession(QUuid::createUuid());
        rig.manager.endFolderSession(QUuid());
        rig.clock.advance(60);
        rig.manager.endFolderSession(rig.a);
        QCOMPARE(rig.changes.count(), 1);
        QVERIFY(!rig.manager.deadlineFor(rig.a).isValid() && rig.manager.hasFolderSession(rig.b));
        QList<int> sizesSeen;
        connect(&rig.manager, &SessionManager::folderDeadlinesChanged, this,
                [&] { sizesSeen.append(rig.manager.folderDeadlines().size()); });
        const QList<QUuid> all = rig.manager.endAllFolderSessions();
        QCOMPARE(QSet<QUuid>(all.begin(), all.end()), (QSet<QUuid>{rig.b, rig.c}));
        QCOMPARE(sizesSeen, (QList<int>{1, 0}));
        QCOMPARE(rig.clock.heldAlarms(), 0);
        rig.advance(3600);
        QCOMPARE(rig.expired, QList<QUuid>{rig.a});
        QVERIFY(rig.manager.endAllFolderSessions().isEmpty());
    }

    // Inserting what is there, setting the same set or removing what is absent changes nothing.
    void unlockedAppsPublishOnlyRealChanges()
    {
        Rig rig;
        QSignalSpy changes(&rig.manager, &SessionManager::unlockedAppsChanged);
        for (int twice = 0; twice < 2; ++twice) {
            rig.manager.insertUnlockedApp("org.gnome.Calculator");
            rig.manager.setUnlockedApps({"org.gnome.Calculator", "firefox-esr"});
        }
        rig.manager.removeUnlockedApp("firefox-esr");
        rig.manager.removeUnlockedApp("firefox-esr");
        QCOMPARE(changes.count(), 3);
        QCOMPARE(rig.manager.unlockedApps(), QSet<QString>{"org.gnome.Calculator"});
        QVERIFY(rig.manager.isAppUnlocked("org.gnome.Calculator") &&
                !rig.manager.isAppUnlocked("firefox-esr"));
    }
};

QTEST_GUILESS_MAIN(TestSessionManager)
#include "TestSessionManager.moc"
