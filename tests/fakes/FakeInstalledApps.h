#pragma once

#include "apps/InstalledApps.h"

#include <QFile>
#include <QHash>

// Installed applications by path, with the icons they name and the launches asked for.
class FakeInstalledApps : public InstalledApps
{
public:
    QList<Application> applications;
    QHash<QString, QImage> icons; // by path
    QStringList launched;         // paths
    QStringList kept;             // paths, in order, marked "(unreadable)" when asked too late

    QList<Application> menuApplications() override { return applications; }
    std::optional<Application> applicationAt(const QString& path) override
    {
        for (const Application& app : applications) {
            if (app.path == path)
                return app;
        }
        return std::nullopt;
    }
    QImage icon(const QString& path) override { return icons.value(path); }
    void launch(const QString& path) override { launched.append(path); }
    void keepIdentity(const QString& path) override
    {
        kept.append(QFile(path).open(QIODevice::ReadOnly) ? path : path + " (unreadable)");
    }
};
