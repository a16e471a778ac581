#pragma once

#include "apps/InstalledApps.h"

#include <QHash>

// Installed applications by path, with the icons they name and the launches asked for.
class FakeInstalledApps : public InstalledApps
{
public:
    QList<Application> applications;
    QHash<QString, QImage> icons; // by path
    QStringList launched;         // paths

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
};
