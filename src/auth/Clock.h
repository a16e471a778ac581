#pragma once

#include "auth/Alarm.h"

#include <QDateTime>

#include <functional>
#include <memory>

// Wall-clock time and alarms at a wall-clock moment. Unlock sessions end at a date, not after a
// duration of awake time, so an alarm must still fire (at once) when the machine slept through it.
class Clock
{
public:
    virtual ~Clock() = default;

    // Current wall-clock time, in UTC.
    virtual QDateTime now() const = 0;

    // Arms a one-shot alarm that calls `action` on the calling (main) thread's event loop when the wall
    // clock reaches `deadline`, also after the machine slept through it. A deadline that has already
    // passed fires promptly. Destroying the Alarm cancels it; it may also be destroyed from within
    // `action`.
    virtual std::unique_ptr<Alarm> alarmAt(const QDateTime& deadline, std::function<void()> action) = 0;
};
