#pragma once

#include "auth/Clock.h"

// The real wall clock; alarms are realtime timerfds, so they fire on resume when the deadline passed
// while the machine was suspended.
class SystemClock : public Clock
{
public:
    QDateTime now() const override;
    std::unique_ptr<Alarm> alarmAt(const QDateTime& deadline, std::function<void()> action) override;
};
