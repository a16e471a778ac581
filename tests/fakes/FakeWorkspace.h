#pragma once

#include "apps/Workspace.h"

#include <QHash>
#include <QSet>

// A desktop with scripted applications: tests start, focus and quit them and read back what
// Veilmark did to them.
class FakeWorkspace : public Workspace
{
public:
    QStringList running;
    QSet<QString> hidden;
    QStringList actions; // "hide x", "unhide x", "activate x"
    QHash<QString, QImage> icons;
    bool supported = true;
    QString reason = "This compositor cannot hide windows.";

    bool isSupported() const override { return supported; }
    QString unsupportedReason() const override { return supported ? QString() : reason; }
    // A remedy that leaves one step to the user, as turning on a Shell extension does.
    QString remedyLabel;
    int remedies = 0;
    QString remedy() const override { return remedyLabel; }
    void applyRemedy() override
    {
        ++remedies;
        reason = "Log out and in once.";
        remedyLabel.clear();
        emit supportChanged();
    }
    QStringList runningApplications() const override { return running; }
    void hide(const QString& id) override
    {
        hidden.insert(id);
        actions.append("hide " + id);
    }
    void unhide(const QString& id) override
    {
        hidden.remove(id);
        actions.append("unhide " + id);
    }
    void activate(const QString& id) override { actions.append("activate " + id); }
    QImage icon(const QString& id) const override { return icons.value(id); }

    void appLaunches(const QString& id)
    {
        running.append(id);
        emit didLaunch(id);
    }
    void appActivates(const QString& id) { emit didActivate(id); }
    void appDeactivates(const QString& id) { emit didDeactivate(id); }
    void appQuits(const QString& id)
    {
        running.removeAll(id);
        hidden.remove(id);
        emit didTerminate(id);
    }
};
