#pragma once

#include "auth/Alarm.h"

#include <QDateTime>

#include <functional>
#include <memory>

class QSocketNotifier;
class QTimer;

// One-shot alarm at a wall-clock deadline: an absolute CLOCK_REALTIME timerfd watched by a
// QSocketNotifier on the creating thread. Unlike QTimer, which counts monotonic time and pauses
// during suspend, a realtime absolute timer expires on resume when its deadline has passed, and it
// follows changes of the system clock.
class TimerFdAlarm : public Alarm
{
public:
    TimerFdAlarm(const QDateTime& deadline, std::function<void()> action);
    ~TimerFdAlarm() override;

    TimerFdAlarm(const TimerFdAlarm&) = delete;
    TimerFdAlarm& operator=(const TimerFdAlarm&) = delete;

    // False when no timerfd could be created and the alarm runs on the QTimer fallback.
    bool usesTimerFd() const { return m_fd >= 0; }

private:
    bool armTimerFd();
    void onTimerFdReadable();
    void armFallbackTimer();
    void fire();

    QDateTime m_deadline;
    std::function<void()> m_action;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<QTimer> m_fallbackTimer;
    // Points at a flag on fire()'s stack while the action runs, so that fire() can tell whether the
    // action destroyed this alarm and the destructor can tell that it runs inside a Qt dispatch.
    bool* m_destroyedDuringAction = nullptr;
};
