#pragma once

#include "app/Appearance.h"

// The desktop's colour-scheme preference, changed by the test.
class FakeAppearance : public Appearance
{
public:
    bool dark = false;
    int questions = 0;

    bool desktopPrefersDark() override
    {
        ++questions;
        return dark;
    }
    void prefer(bool d)
    {
        dark = d;
        emit desktopPreferenceChanged();
    }
};
