#pragma once

#include "apps/ShieldDisplay.h"

// Counts shield windows instead of drawing them; `screens` is how many screens there are.
class FakeShieldDisplay : public ShieldDisplay
{
public:
    int screens = 2;
    int windows = 0;
    int shows = 0;
    int activations = 0;
    ShieldModel* model = nullptr;

    int showWindows(ShieldModel& m) override
    {
        model = &m;
        windows = screens;
        ++shows;
        return windows;
    }
    void hideWindows() override { windows = 0; }
    void activateWindows() override { ++activations; }
};
