#pragma once

class ShieldModel;

// Puts the shield windows on screen: one per screen, above every other window, on every
// virtual desktop, taking the keyboard.
class ShieldDisplay
{
public:
    virtual ~ShieldDisplay() = default;

    // Returns the number of windows put up (one per screen).
    virtual int showWindows(ShieldModel& model) = 0;
    virtual void hideWindows() = 0;
    // Gives the keyboard back to the shield, for when something else took it.
    virtual void activateWindows() = 0;
};
