#pragma once

#include "apps/Workspace.h"

// The workspace of a session whose windows Veilmark cannot watch or hide (a Wayland compositor
// without a channel for it). It says so, sees no applications and does nothing, so app protection
// is never started there and nothing claims to be protected.
class UnsupportedWorkspace : public Workspace
{
public:
    using Workspace::Workspace;

    bool isSupported() const override { return false; }
    QStringList runningApplications() const override { return {}; }
    void hide(const QString&) override {}
    void unhide(const QString&) override {}
    void activate(const QString&) override {}
    QImage icon(const QString&) const override { return {}; }
};
