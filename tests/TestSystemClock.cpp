#include "platform/linux/SystemClock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTest>

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
        QFile info(QStringLiteral("/proc/self/fdinfo/") + fd);
        if (QFileInfo(fds, fd).symLinkTarget().endsWith("[timerfd]") && info.open(QIODevice::ReadOnly)) {
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
    // When the kernel refuses a timerfd (no descriptors left, say), the alarms run on a QTimer. Exhausting
    // the descriptor table is the one way to get there without a test hook.
    void alarmsFireOnceAtTheirDeadline_data()
    {
        QTest::addColumn<bool>("exhaustDescriptors");
        QTest::newRow("timerfd") << false;
        QTest::newRow("fallback") << true;
    }

    // One-shot, at the deadline and not before; a cancelled alarm never fires, even one already due; an
    // alarm may destroy itself from its own action; deadlines long passed fire at once.
    void alarmsFireOnceAtTheirDeadline()
    {
        QFETCH(bool, exhaustDescriptors);
        const std::pair<int, int> timersBefore = timerFds();
        rlimit original{};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &original), 0);
        std::vector<int> filler;
        if (exhaustDescriptors) {
            rlimit lowered{512, original.rlim_max};
            if (original.rlim_cur < lowered.rlim_cur || ::setrlimit(RLIMIT_NOFILE, &lowered) != 0)
                QSKIP("cannot lower the descriptor limit");
            for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
                filler.push_back(fd);
        }

        SystemClock clock;
        const QDateTime deadline = clock.now().addMSecs(80);
        QList<int> calls(7, 0);
        QDateTime firedAt;
        std::vector<std::unique_ptr<Alarm>> alarms;
        alarms.push_back(clock.alarmAt(deadline, [&] {
            ++calls[0];
            firedAt = QDateTime::currentDateTimeUtc();
        }));
        alarms.push_back(clock.alarmAt(clock.now().addMSecs(30), [&] {
            ++calls[1];
            alarms[1].reset();
        }));
        // Converted naively, the epoch is an all-zero expiry, which disarms a timerfd instead of firing it.
        const QDateTime past[] = {clock.now().addSecs(-3600), QDateTime::fromMSecsSinceEpoch(0, Qt::UTC),
                                  QDateTime(QDate(1969, 7, 20), QTime(20, 17), Qt::UTC), QDateTime()};
        for (int i = 0; i < 4; ++i)
            alarms.push_back(clock.alarmAt(past[i], [&calls, i] { ++calls[2 + i]; }));
        auto cancelled = clock.alarmAt(clock.now().addMSecs(40), [&] { ++calls[6]; });
        auto dueButCancelled = clock.alarmAt(clock.now().addSecs(-1), [&] { ++calls[6]; });
        for (const int fd : filler)
            ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &original);
        // The test cannot set the system clock. An absolute CLOCK_REALTIME timer is what the kernel moves
        // along with clock changes, so it fires at the wall-clock deadline after a jump too; a relative
        // or monotonic one would not.
        const auto [timers, realtimeAbsolute] = timerFds();
        QCOMPARE(timers - timersBefore.first, exhaustDescriptors ? 0 : 8);
        QCOMPARE(realtimeAbsolute - timersBefore.second, exhaustDescriptors ? 0 : 8);
        cancelled.reset();
        dueButCancelled.reset();

        QTRY_COMPARE_WITH_TIMEOUT(calls[0], 1, 5000);
        QVERIFY2(firedAt >= deadline, qPrintable(firedAt.toString(Qt::ISODateWithMs)));
        // An expired alarm must not keep firing; deferred clean-up gets its turn.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::qWait(150);
        QCOMPARE(calls, QList<int>({1, 1, 1, 1, 1, 1, 0}));
    }
};

QTEST_GUILESS_MAIN(TestSystemClock)
#include "TestSystemClock.moc"
