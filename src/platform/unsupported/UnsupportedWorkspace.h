#pragma once

#include "apps/Workspace.h"

// The workspace of a session whose windows Veilmark cannot watch or hide (a Wayland compositor
// without a channel for it). It says so, sees no applications and does nothing, so app protection
// is never started there and nothing claims to be protected.
class UnsupportedWorkspace : public Workspace
{
public:
    explicit UnsupportedWorkspace(const QString& reason, QObject* parent = nullptr)
        : Workspace(parent)
        , m_reason(reason)
    {}

    bool isSupported() const override { return false; }
    QString unsupportedReason() const override { return m_reason; }
    QStringList runningApplications() const override { return {}; }
    void hide(const QString&) override {}
    void unhide(const QString&) override {}
    void activate(const QString&) override {}
    QImage icon(const QString&) const override { return {}; }

private:
    QString m_reason;
};
