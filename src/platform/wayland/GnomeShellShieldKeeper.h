#pragma once

#include "ui/ShieldKeeper.h"

#include <QDBusConnection>

// Keeps the shield above everything on GNOME Shell under Wayland, through Veilmark's Shell extension
// (org.veilmark.Shell1.SetShield): the Shell holds the windows of the process owning
// org.veilmark.Veilmark above every other, full screen on every workspace, and gives the keyboard
// back to the one named whenever another window takes it. Calls do not wait for the Shell; a refusal
// or a missing extension is written to the journal (the workspace reports the extension gone).
class GnomeShellShieldKeeper : public ShieldKeeper
{
public:
    explicit GnomeShellShieldKeeper(const QDBusConnection& bus = QDBusConnection::sessionBus());

    void keep(const QString& focusTitle) override;
    void release() override;

private:
    void setShield(bool on, const QString& focusTitle);

    QDBusConnection m_bus;
    QString m_kept; // the title asked for last while on; empty while off
    bool m_on = false;
};
