#include "platform/linux/SystemClock.h"
#include "platform/linux/TimerFdAlarm.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

class TestSystemClock : public QObject
{
    Q_OBJECT

private slots:
    void firesOnceAtDeadline();
    void pastDeadlineFiresPromptly_data();
    void pastDeadlineFiresPromptly();
    void destroyedAlarmNeverFires();
    void alarmMayDestroyItselfFromItsAction();
    void fallbackTimerWhenNoTimerFd();
};

void TestSystemClock::firesOnceAtDeadline()
{
    SystemClock clock;
    const QDateTime deadline = clock.now().addMSecs(80);
    int calls = 0;
    QDateTime firedAt;
    QThread* firedOn = nullptr;

    const auto alarm = clock.alarmAt(deadline, [&] {
        ++calls;
        firedAt = QDateTime::currentDateTimeUtc();
        firedOn = QThread::currentThread();
    });

    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 5000);
    QVERIFY2(firedAt >= deadline, qPrintable(firedAt.toString(Qt::ISODateWithMs)));
    QCOMPARE(firedOn, QThread::currentThread());
    // One-shot: it must not keep firing while the expired fd is left alone.
    QTest::qWait(150);
    QCOMPARE(calls, 1);
}

void TestSystemClock::pastDeadlineFiresPromptly_data()
{
    QTest::addColumn<QDateTime>("deadline");
    QTest::newRow("now") << QDateTime::currentDateTimeUtc();
    QTest::newRow("an hour ago") << QDateTime::currentDateTimeUtc().addSecs(-3600);
    // Converted naively, this is an all-zero expiry, which disarms a timerfd instead of firing it.
    QTest::newRow("the epoch") << QDateTime::fromMSecsSinceEpoch(0, Qt::UTC);
    QTest::newRow("before the epoch") << QDateTime(QDate(1969, 7, 20), QTime(20, 17), Qt::UTC);
    QTest::newRow("invalid") << QDateTime();
}

void TestSystemClock::pastDeadlineFiresPromptly()
{
    QFETCH(QDateTime, deadline);
    SystemClock clock;
    int calls = 0;

    const auto alarm = clock.alarmAt(deadline, [&] { ++calls; });

    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 2000);
    QTest::qWait(20);
    QCOMPARE(calls, 1);
}

void TestSystemClock::destroyedAlarmNeverFires()
{
    SystemClock clock;
    int calls = 0;
    auto alarm = clock.alarmAt(clock.now().addMSecs(50), [&] { ++calls; });
    // Also one that is already due but whose readiness was not yet delivered.
    auto due = clock.alarmAt(clock.now().addSecs(-1), [&] { ++calls; });

    alarm.reset();
    due.reset();
    QTest::qWait(200);

    QCOMPARE(calls, 0);
}

void TestSystemClock::alarmMayDestroyItselfFromItsAction()
{
    SystemClock clock;
    int calls = 0;
    std::unique_ptr<Alarm> alarm;
    alarm = clock.alarmAt(clock.now().addMSecs(30), [&] {
        ++calls;
        alarm.reset();
    });

    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 5000);
    QVERIFY(!alarm);
    // Lets any deferred clean-up run.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTest::qWait(50);
    QCOMPARE(calls, 1);
}

// Exhausting the descriptor table makes timerfd_create fail, which is the one way to reach the
// QTimer fallback without a test hook.
void TestSystemClock::fallbackTimerWhenNoTimerFd()
{
    rlimit original{};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &original), 0);
    rlimit lowered = original;
    lowered.rlim_cur = 512;
    if (original.rlim_cur < lowered.rlim_cur || ::setrlimit(RLIMIT_NOFILE, &lowered) != 0) {
        QSKIP("cannot lower the descriptor limit");
    }
    std::vector<int> filler;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) {
        filler.push_back(fd);
    }
    const auto release = [&] {
        for (const int fd : filler) {
            ::close(fd);
        }
        filler.clear();
        ::setrlimit(RLIMIT_NOFILE, &original);
    };

    int calls = 0;
    int cancelledCalls = 0;
    QDateTime firedAt;
    const QDateTime deadline = QDateTime::currentDateTimeUtc().addMSecs(60);
    auto alarm = std::make_unique<TimerFdAlarm>(deadline, [&] {
        ++calls;
        firedAt = QDateTime::currentDateTimeUtc();
    });
    auto cancelled = std::make_unique<TimerFdAlarm>(deadline, [&] { ++cancelledCalls; });
    const bool fellBack = !alarm->usesTimerFd() && !cancelled->usesTimerFd();
    release();
    QVERIFY(fellBack);

    cancelled.reset();
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 5000);
    QVERIFY2(firedAt >= deadline, qPrintable(firedAt.toString(Qt::ISODateWithMs)));
    QTest::qWait(100);
    QCOMPARE(calls, 1);
    QCOMPARE(cancelledCalls, 0);
}

QTEST_GUILESS_MAIN(TestSystemClock)
#include "TestSystemClock.moc"
