#include "platform/linux/SystemClock.h"
#include "platform/linux/TimerFdAlarm.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {
// Of the timerfds the process holds: how many, and how many are absolute CLOCK_REALTIME timers.
std::pair<int, int> timerFds()
{
    std::pair<int, int> count;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[32] = {};
        QFile info(QStringLiteral("/proc/self/fdinfo/") + fd);
        if (::readlink(QFile::encodeName(fds.filePath(fd)).constData(), target, sizeof target - 1) > 0 &&
            qstrcmp(target, "anon_inode:[timerfd]") == 0 && info.open(QIODevice::ReadOnly)) {
            const QByteArray text = info.readAll();
            ++count.first;
            count.second += text.contains("\nclockid: 0\n") && text.contains("\nsettime flags: 01\n");
        }
    }
    return count;
}
} // namespace

class TestSystemClock : public QObject
{
    Q_OBJECT

private slots:
    // One-shot, at the deadline and not before, on the arming thread; a cancelled alarm never
    // fires, even one already due; an alarm may destroy itself from its own action.
    void alarmsFireOnceAtTheirDeadline()
    {
        SystemClock clock;
        const std::pair<int, int> timersBefore = timerFds();
        const QDateTime deadline = clock.now().addMSecs(80);
        int calls = 0, cancelledCalls = 0, selfDestroyingCalls = 0;
        QDateTime firedAt;
        QThread* firedOn = nullptr;
        const auto alarm = clock.alarmAt(deadline, [&] {
            ++calls;
            firedAt = QDateTime::currentDateTimeUtc();
            firedOn = QThread::currentThread();
        });
        auto cancelled = clock.alarmAt(clock.now().addMSecs(40), [&] { ++cancelledCalls; });
        auto due = clock.alarmAt(clock.now().addSecs(-1), [&] { ++cancelledCalls; });
        std::unique_ptr<Alarm> selfDestroying;
        selfDestroying = clock.alarmAt(clock.now().addMSecs(30), [&] {
            ++selfDestroyingCalls;
            selfDestroying.reset();
        });
        // The test cannot set the system clock. An absolute CLOCK_REALTIME timer (clock 0, flag 01) is
        // what the kernel moves along with clock changes, so it fires at the wall-clock deadline
        // after a jump too; a relative or monotonic one would not.
        const auto [timers, realtimeAbsolute] = timerFds();
        QCOMPARE(timers - timersBefore.first, 4);
        QCOMPARE(realtimeAbsolute - timersBefore.second, 4);
        cancelled.reset();
        due.reset();
        // Deadlines already passed fire promptly. Converted naively, the epoch is an all-zero expiry,
        // which disarms a timerfd instead of firing it.
        const QList<QDateTime> past{clock.now().addSecs(-3600), QDateTime::fromMSecsSinceEpoch(0, Qt::UTC),
                                    QDateTime(QDate(1969, 7, 20), QTime(20, 17), Qt::UTC), QDateTime()};
        QList<int> pastCalls(past.size(), 0);
        std::vector<std::unique_ptr<Alarm>> pastAlarms;
        for (qsizetype i = 0; i < past.size(); ++i)
            pastAlarms.push_back(clock.alarmAt(past[i], [&pastCalls, i] { ++pastCalls[i]; }));

        QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 5000);
        QVERIFY2(firedAt >= deadline, qPrintable(firedAt.toString(Qt::ISODateWithMs)));
        QCOMPARE(firedOn, QThread::currentThread());
        // The expired timer must not keep firing; deferred clean-up gets its turn.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::qWait(150);
        QCOMPARE(calls, 1);
        QCOMPARE(cancelledCalls, 0);
        QCOMPARE(selfDestroyingCalls, 1);
        QCOMPARE(pastCalls, QList<int>(past.size(), 1));
        QVERIFY(!selfDestroying);
    }

    // Exhausting the descriptor table makes timerfd_create fail, which is the one way to reach the
    // QTimer fallback without a test hook.
    void fallbackTimerWhenNoTimerFd()
    {
        rlimit original{};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &original), 0);
        rlimit lowered = original;
        lowered.rlim_cur = 512;
        if (original.rlim_cur < lowered.rlim_cur || ::setrlimit(RLIMIT_NOFILE, &lowered) != 0)
            QSKIP("cannot lower the descriptor limit");
        std::vector<int> filler;
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            filler.push_back(fd);

        int calls = 0, cancelledCalls = 0;
        QDateTime firedAt;
        const QDateTime deadline = QDateTime::currentDateTimeUtc().addMSecs(60);
        auto alarm = std::make_unique<TimerFdAlarm>(deadline, [&] {
            ++calls;
            firedAt = QDateTime::currentDateTimeUtc();
        });
        auto cancelled = std::make_unique<TimerFdAlarm>(deadline, [&] { ++cancelledCalls; });
        const bool fellBack = !alarm->usesTimerFd() && !cancelled->usesTimerFd();
        for (const int fd : filler)
            ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &original);
        QVERIFY(fellBack);

        cancelled.reset();
        QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 5000);
        QVERIFY2(firedAt >= deadline, qPrintable(firedAt.toString(Qt::ISODateWithMs)));
        QTest::qWait(100);
        QCOMPARE(calls, 1);
        QCOMPARE(cancelledCalls, 0);
    }
};

QTEST_GUILESS_MAIN(TestSystemClock)
#include "TestSystemClock.moc"
