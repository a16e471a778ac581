#pragma once

#include <QString>

// Keeps the shield's windows above every other window, full screen on their screens and on every
// workspace, with the keyboard on the one titled `focusTitle`, where Veilmark cannot do so itself:
// on GNOME Shell under Wayland only the Shell can, through Veilmark's extension.
class ShieldKeeper
{
public:
    virtual ~ShieldKeeper() = default;

    virtual void keep(const QString& focusTitle) = 0;
    virtual void release() = 0;
};
