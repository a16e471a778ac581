#pragma once

// A pending one-shot alarm handed out by Clock::alarmAt. It has no operations: destroying it is what
// cancels it, so the owner of the alarm decides how long it may still fire.
class Alarm
{
public:
    virtual ~Alarm() = default;
};
