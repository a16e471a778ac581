#pragma once

#include <QString>

// One row of the tray panel's list: an enabled application or folder as the panel shows it.
struct TrayRow
{
    bool isApp = true;
    // An application's ID or a folder's UUID.
    QString id;
    QString name;
    // An application that is not unlocked, a folder that is locked on disk.
    bool locked = true;
    // A folder that cannot be locked or unlocked where it was ("Missing", ...); else empty.
    QString problem;

    friend bool operator==(const TrayRow&, const TrayRow&) = default;
};
