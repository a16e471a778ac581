#pragma once

#include "apps/ShieldDisplay.h"

// The shield of a session without app protection: it never goes up.
class UnsupportedShieldDisplay : public ShieldDisplay
{
public:
    int showWindows(ShieldModel&) override { return 0; }
    void hideWindows() override {}
    void activateWindows() override {}
};
