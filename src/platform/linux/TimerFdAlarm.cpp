#include "platform/linux/TimerFdAlarm.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

// Absolute CLOCK_REALTIME expiry for `deadline`. An it_value of zero would disarm the timer instead
// of firing it, so a deadline at or before the epoch becomes 1 ns, which has long passed and fires
// at once like any other past deadline.
static timespec expiryFor(const QDateTime& deadline)
{
    const qint64 msecs = deadline.isValid() ? deadline.toMSecsSinceEpoch() : 0;
    if (msecs <= 0) {
        return {0, 1};
    }
    return {static_cast<time_t>(msecs / 1000), static_cast<long>((msecs % 1000) * 1000000)};
}

TimerFdAlarm::TimerFdAlarm(const QDateTime& deadline, std::function<void()> action)
    : m_deadline(deadline)
    , m_action(std::move(action))
{
    if (!armTimerFd()) {
        armFallbackTimer();
    }
}

TimerFdAlarm::~TimerFdAlarm()
{
    const bool insideAction = m_destroyedDuringAction != nullptr;
    if (insideAction) {
        *m_destroyedDuringAction = true;
    }
    // The action runs from the notifier's (or timer's) own signal. Deleting that object while Qt is
    // still delivering its event is avoidable, so in that case it goes through deleteLater; disabled
    // and stopped first, it can no longer fire or touch the closed fd.
    if (m_notifier) {
        m_notifier->setEnabled(false);
        if (insideAction) {
            m_notifier.release()->deleteLater();
        }
    }
    if (m_fallbackTimer) {
        m_fallbackTimer->stop();
        if (insideAction) {
            m_fallbackTimer.release()->deleteLater();
        }
    }
    m_notifier.reset();
    m_fallbackTimer.reset();
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool TimerFdAlarm::armTimerFd()
{
    m_fd = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd < 0) {
        return false;
    }
    itimerspec expiry{};
    expiry.it_value = expiryFor(m_deadline);
    if (::timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &expiry, nullptr) != 0) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { onTimerFdReadable(); });
    return true;
}

void TimerFdAlarm::onTimerFdReadable()
{
    std::uint64_t expirations = 0;
    const ssize_t n = ::read(m_fd, &expirations, sizeof expirations);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return; // spurious wake-up: not expired yet
    }
    // Any other outcome means the timer expired (or the fd broke): either way it must not keep the
    // level-triggered notifier spinning.
    m_notifier->setEnabled(false);
    fire();
}

// Fallback when the kernel refuses a timerfd (no fds left, seccomp filter): a QTimer for the time
// remaining. It counts monotonic time, so across a suspend it fires late by the time asleep; the
// deadline is re-checked against the wall clock each time it fires, and the wait is capped at what
// QTimer can hold, re-arming for the rest.
void TimerFdAlarm::armFallbackTimer()
{
    if (!m_fallbackTimer) {
        m_fallbackTimer = std::make_unique<QTimer>();
        m_fallbackTimer->setSingleShot(true);
        m_fallbackTimer->setTimerType(Qt::PreciseTimer);
        QObject::connect(m_fallbackTimer.get(), &QTimer::timeout, m_fallbackTimer.get(), [this] {
            if (m_deadline.isValid() && QDateTime::currentDateTimeUtc() < m_deadline) {
                armFallbackTimer();
            } else {
                fire();
            }
        });
    }
    const qint64 remaining =
        m_deadline.isValid() ? QDateTime::currentDateTimeUtc().msecsTo(m_deadline) : qint64{0};
    m_fallbackTimer->start(static_cast<int>(qBound(qint64{0}, remaining, qint64{INT_MAX})));
}

void TimerFdAlarm::fire()
{
    if (!m_action) {
        return;
    }
    // Moved out so the alarm is spent before the action runs, and the callable stays alive even if the
    // action destroys this alarm.
    const std::function<void()> action = std::move(m_action);
    m_action = nullptr;
    bool destroyed = false;
    m_destroyedDuringAction = &destroyed;
    action();
    if (!destroyed) {
        m_destroyedDuringAction = nullptr;
    }
}
