#include "auth/SessionManager.h"
#include "fakes/FakeClock.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <limits>
#include <memory>

class TestSessionManager : public QObject
{
    Q_OBJECT

private slots:
    void sessionLength_data();
    void sessionLength();
    void absurdLengthStaysRepresentable();
    void restartKeepsOneAlarmAndTheNewDeadline();
    void restartDiscardsAnAlreadyQueuedExpiry();
    void foldersExpireIndependently();
    void endingAbsentSessionChangesNothing();
    void endingSessionCancelsItsAlarm();
    void endAllWithoutSessions();
    void endAllEndsEverySessionSilently();
    void endAfterAlarmFiredSuppressesExpiry();
    void expiryWithoutCallbackStillEndsSession();
    void expiryEndsSessionThenReportsOnce();
    void expiryIsDeliveredFromTheEventLoop();
    void destroyedManagerIgnoresAlarms();
    void unlockedAppsPublishOnlyRealChanges();
};

// Lets the queued hop from an alarm to the manager run.
static void drainEvents()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

void TestSessionManager::sessionLength_data()
{
    QTest::addColumn<qint64>("minutes");
    QTest::addColumn<qint64>("expectedSeconds");
    QTest::newRow("zero") << qint64{0} << qint64{60};
    QTest::newRow("one") << qint64{1} << qint64{60};
    QTest::newRow("negative") << qint64{-5} << qint64{60};
    QTest::newRow("most negative") << std::numeric_limits<qint64>::min() << qint64{60};
    QTest::newRow("two") << qint64{2} << qint64{120};
    QTest::newRow("ten") << qint64{10} << qint64{600};
}

void TestSessionManager::sessionLength()
{
    QFETCH(qint64, minutes);
    QFETCH(qint64, expectedSeconds);
    FakeClock clock;
    SessionManager manager(clock);
    const QUuid id = QUuid::createUuid();

    manager.startFolderSession(id, minutes);

    const QDateTime expected = clock.now().addSecs(expectedSeconds);
    QCOMPARE(manager.deadlineFor(id), expected);
    QCOMPARE(manager.folderDeadlines(), (QHash<QUuid, QDateTime>{{id, expected}}));
    QCOMPARE(clock.pendingDeadlines(), QList<QDateTime>{expected});
}

void TestSessionManager::absurdLengthStaysRepresentable()
{
    FakeClock clock;
    SessionManager manager(clock);
    const QUuid id = QUuid::createUuid();

    manager.startFolderSession(id, std::numeric_limits<qint64>::max());

    const QDateTime deadline = manager.deadlineFor(id);
    QVERIFY(deadline.isValid());
    QVERIFY(deadline > clock.now().addYears(50));
    clock.advance(qint64{10} * 365 * 24 * 3600);
    drainEvents();
    QVERIFY(manager.hasFolderSession(id));
}

void TestSessionManager::restartKeepsOneAlarmAndTheNewDeadline()
{
    FakeClock clock;
    SessionManager manager(clock);
    const QUuid id = QUuid::createUuid();
    QList<QUuid> expired;
    manager.onFolderSessionExpired = [&](const QUuid& folder) { expired.append(folder); };

    manager.startFolderSession(id, 1);
    clock.advance(30);
    manager.startFolderSession(id, 10);

    const QDateTime second = clock.now().addSecs(600);
    QCOMPARE(manager.deadlineFor(id), second);
    QCOMPARE(clock.heldAlarms(), 1);
    QCOMPARE(clock.pendingDeadlines(), QList<QDateTime>{second});

    // Past the first deadline: the replaced alarm must not end the restarted session.
    clock.advance(120);
    drainEvents();
    QVERIFY(manager.hasFolderSession(id));
    QVERIFY(expired.isEmpty());

    clock.advanceTo(second);
    drainEvents();
    QVERIFY(!manager.hasFolderSession(id));
    QCOMPARE(expired, QList<QUuid>{id});
}

void TestSessionManager::restartDiscardsAnAlreadyQueuedExpiry()
{
    FakeClock clock;
    SessionManager manager(clock);
    const QUuid id = QUuid::createUuid();
    int expiries = 0;
    manager.onFolderSessionExpired = [&](const QUuid&) { ++expiries; };

    manager.startFolderSession(id, 1);
    clock.advance(60); // the alarm fired; its expiry waits in the event queue
    manager.startFolderSession(id, 5);
    const QDateTime restarted = manager.deadlineFor(id);
    drainEvents();

    QCOMPARE(expiries, 0);
    QCOMPARE(manager.deadlineFor(id), restarted);
    QCOMPARE(clock.pendingAlarms(), 1);

    clock.advanceTo(restarted);
    drainEvents();
    QCOMPARE(expiries, 1);
    QVERIFY(!manager.hasFolderSession(id));
}

void TestSessionManager::foldersExpireIndependently()
{
    FakeClock clock;
    SessionManager manager(clock);
    const QUuid shortId = QUuid::createUuid();
    const QUuid longId = QUuid::createUuid();
    QList<QUuid> expired;
    manager.onFolderSessionExpired = [&](const QUuid& folder) { expired.append(folder); };

    manager.startFolderSession(longId, 10);
    manager.startFolderSession(shortId, 2);
    clock.advance(2 * 60);
    drainEvents();

    QCOMPARE(expired, QList<QUuid>{shortId});
    QCOMPARE(manager.folderDeadlines().keys(), QList<QUuid>{longId});
    QCOMPARE(clock.heldAlarms(), 1);

    clock.advance(8 * 60);
    drainEvents();
    QCOMPARE(expired, (QList<QUuid>{shortId, longId}));
    QVERIFY(manager.folderDeadlines().isEmpty());
}

void TestSessionManager::endingAbsentSessionChangesNothing()
{
    FakeClock clock;
    SessionManager manager(clock);
    const QUuid running = QUuid::createUuid();
    manager.startFolderSession(running, 3);
    const auto before = manager.folderDeadlines();
    QSignalSpy changes(&manager, &SessionManager::folderDeadlinesChanged);

    manager.endFolderSession(QUuid::createUuid());
    manager.endFolderSession(QUuid());

    QCOMPARE(changes.count(), 0);
    QCOMPARE(manager.folderDeadlines(), before);
    QCOMPARE(clock.pendingAlarms(), 1);
}

void TestSessionManager::endingSessionCancelsItsAlarm()
{
    FakeClock clock;
    SessionManager manager(clock);
    const QUuid ended = QUuid::createUuid();
    const QUuid kept = QUuid::createUuid();
    manager.startFolderSession(ended, 3);
    manager.startFolderSession(kept, 3);
    QSignalSpy changes(&manager, &SessionManager::folderDeadlinesChanged);

    manager.endFolderSession(ended);

    QCOMPARE(changes.count(), 1);
    QVERIFY(!manager.hasFolderSession(ended));
    QVERIFY(!manager.deadlineFor(ended).isValid());
    QVERIFY(manager.hasFolderSession(kept));
    QCOMPARE(clock.heldAlarms(), 1);
}

void TestSessionManager::endAllWithoutSessions()
{
    FakeClock clock;
    SessionManager manager(clock);
    QSignalSpy changes(&manager, &SessionManager::folderDeadlinesChanged);

    QVERIFY(manager.endAllFolderSessions().isEmpty());
    QCOMPARE(changes.count(), 0);
}

void TestSessionManager::endAllEndsEverySessionSilently()
{
    FakeClock clock;
    SessionManager manager(clock);
    int expiries = 0;
    manager.onFolderSessionExpired = [&](const QUuid&) { ++expiries; };
    const QSet<QUuid> ids{QUuid::createUuid(), QUuid::createUuid(), QUuid::createUuid()};
    for (const QUuid& id : ids) {
        manager.startFolderSession(id, 1);
    }
    // One of them is already due, its expiry queued: ending all must swallow it too.
    clock.advance(60);
    QSignalSpy changes(&manager, &SessionManager::folderDeadlinesChanged);
    // Every removal is its own change, and observers see the map shrink one id at a time.
    QList<int> sizesSeen;
    connect(&manager, &SessionManager::folderDeadlinesChanged, this,
            [&] { sizesSeen.append(manager.folderDeadlines().size()); });

    const QList<QUuid> ended = manager.endAllFolderSessions();

    QCOMPARE(QSet<QUuid>(ended.begin(), ended.end()), ids);
    QCOMPARE(ended.size(), ids.size());
    QCOMPARE(changes.count(), 3);
    QCOMPARE(sizesSeen, (QList<int>{2, 1, 0}));
    QVERIFY(manager.folderDeadlines().isEmpty());
    QCOMPARE(clock.heldAlarms(), 0);

    clock.advance(3600);
    drainEvents();
    QCOMPARE(expiries, 0);
    QVERIFY(manager.endAllFolderSessions().isEmpty());
}

void TestSessionManager::endAfterAlarmFiredSuppressesExpiry()
{
    FakeClock clock;
    SessionManager manager(clock);
    const QUuid id = QUuid::createUuid();
    int expiries = 0;
    manager.onFolderSessionExpired = [&](const QUuid&) { ++expiries; };
    manager.startFolderSession(id, 1);

    clock.advance(60); // the alarm fired; its expiry waits in the event queue
    QCOMPARE(clock.pendingAlarms(), 0);
    QSignalSpy changes(&manager, &SessionManager::folderDeadlinesChanged);
    manager.endFolderSession(id);
    drainEvents();

    QCOMPARE(expiries, 0);
    QCOMPARE(changes.count(), 1);
    QVERIFY(!manager.hasFolderSession(id));
}

void TestSessionManager::expiryWithoutCallbackStillEndsSession()
{
    FakeClock clock;
    SessionManager manager(clock);
    const QUuid id = QUuid::createUuid();
    manager.startFolderSession(id, 4);
    QSignalSpy changes(&manager, &SessionManager::folderDeadlinesChanged);

    clock.advance(4 * 60);
    drainEvents();

    QVERIFY(!manager.hasFolderSession(id));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(clock.heldAlarms(), 0);
}

void TestSessionManager::expiryEndsSessionThenReportsOnce()
{
    FakeClock clock;
    SessionManager manager(clock);
    const QUuid id = QUuid::createUuid();
    QList<QUuid> expired;
    bool sessionGoneWhenReported = false;
    int alarmsHeldWhenReported = -1;
    manager.onFolderSessionExpired = [&](const QUuid& folder) {
        expired.append(folder);
        sessionGoneWhenReported = !manager.hasFolderSession(folder);
        alarmsHeldWhenReported = clock.heldAlarms();
    };
    manager.startFolderSession(id, 2);

    clock.advance(2 * 60 - 1);
    drainEvents();
    QVERIFY(expired.isEmpty());

    clock.advance(1);
    drainEvents();
    drainEvents();
    QCOMPARE(expired, QList<QUuid>{id});
    QVERIFY(sessionGoneWhenReported);
    QCOMPARE(alarmsHeldWhenReported, 0);

    clock.advance(24 * 3600);
    drainEvents();
    QCOMPARE(expired.size(), 1);
}

void TestSessionManager::expiryIsDeliveredFromTheEventLoop()
{
    FakeClock clock;
    SessionManager manager(clock);
    const QUuid id = QUuid::createUuid();
    int expiries = 0;
    manager.onFolderSessionExpired = [&](const QUuid&) { ++expiries; };
    manager.startFolderSession(id, 1);

    clock.advance(60);
    // Still running until the event loop gets a turn: the alarm's dispatch never touches the maps.
    QVERIFY(manager.hasFolderSession(id));
    QCOMPARE(expiries, 0);

    QTRY_COMPARE(expiries, 1);
    QVERIFY(!manager.hasFolderSession(id));
}

void TestSessionManager::destroyedManagerIgnoresAlarms()
{
    FakeClock clock;
    int expiries = 0;
    {
        // Destroyed with its alarms still armed: they are cancelled.
        SessionManager manager(clock);
        manager.onFolderSessionExpired = [&](const QUuid&) { ++expiries; };
        manager.startFolderSession(QUuid::createUuid(), 1);
        manager.startFolderSession(QUuid::createUuid(), 5);
    }
    QCOMPARE(clock.heldAlarms(), 0);
    {
        // Destroyed after an alarm fired, with the expiry still queued.
        SessionManager manager(clock);
        manager.onFolderSessionExpired = [&](const QUuid&) { ++expiries; };
        manager.startFolderSession(QUuid::createUuid(), 1);
        clock.advance(60);
    }
    clock.advance(3600);
    drainEvents();
    QCOMPARE(expiries, 0);
    QCOMPARE(clock.heldAlarms(), 0);
}

void TestSessionManager::unlockedAppsPublishOnlyRealChanges()
{
    FakeClock clock;
    SessionManager manager(clock);
    QSignalSpy changes(&manager, &SessionManager::unlockedAppsChanged);
    const QString calculator = QStringLiteral("org.gnome.Calculator");
    const QString firefox = QStringLiteral("firefox-esr");

    manager.insertUnlockedApp(calculator);
    manager.insertUnlockedApp(calculator);
    QCOMPARE(changes.count(), 1);
    QVERIFY(manager.isAppUnlocked(calculator));
    QVERIFY(!manager.isAppUnlocked(firefox));

    manager.removeUnlockedApp(firefox);
    QCOMPARE(changes.count(), 1);

    manager.setUnlockedApps({calculator, firefox});
    QCOMPARE(changes.count(), 2);
    manager.setUnlockedApps({firefox, calculator});
    QCOMPARE(changes.count(), 2);
    QCOMPARE(manager.unlockedApps(), (QSet<QString>{calculator, firefox}));

    manager.removeUnlockedApp(calculator);
    QCOMPARE(changes.count(), 3);
    QCOMPARE(manager.unlockedApps(), QSet<QString>{firefox});

    QCOMPARE(manager.property("unlockedApps").value<QSet<QString>>(), QSet<QString>{firefox});
}

QTEST_GUILESS_MAIN(TestSessionManager)
#include "TestSessionManager.moc"
