#include "platform/linux/SystemClock.h"

#include "platform/linux/TimerFdAlarm.h"

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTimeUtc();
}

std::unique_ptr<Alarm> SystemClock::alarmAt(const QDateTime& deadline, std::function<void()> action)
{
    return std::make_unique<TimerFdAlarm>(deadline, std::move(action));
}
