#pragma once

#include "app/SystemEvents.h"

// System events a test fires by hand.
class FakeSystemEvents : public SystemEvents
{
public:
    int starts = 0;
    void start() override { ++starts; }

    void sleep() { emit goingToSleep(); }
    void switchSession() { emit sessionSwitched(); }
    void lockScreen() { emit screenLocked(); }
    void endSession() { emit sessionEnding(); }
};
