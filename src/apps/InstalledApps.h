#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The applications installed on the system, as desktop entries: what the chooser offers, what a
// chosen entry is called, its icon, and starting it.
class InstalledApps
{
public:
    struct Application
    {
        QString id; // the desktop-file ID, which is also the bundle identifier
        QString name;
        QString path;
        // The entry's search words (Keywords), for finding it among many.
        QStringList keywords;
    };

    virtual ~InstalledApps() = default;

    // The applications that menus show (no NoDisplay entries), read afresh when the entries changed.
    virtual QList<Application> menuApplications() = 0;
    // The application of the entry at `path`; none when it cannot be read or is not an application.
    virtual std::optional<Application> applicationAt(const QString& path) = 0;
    // The icon the entry at `path` names, also for an entry that was readable once and is locked now;
    // null when there is none.
    virtual QImage icon(const QString& path) = 0;
    // Starts the application of the entry at `path`; does not wait for it.
    virtual void launch(const QString& path) = 0;
    // Keeps what tells the entry's windows apart (the class its windows announce, its program, name
    // and icon) where it stays readable while the entry is locked, also across a restart. Called
    // while the entry is readable; an entry that cannot be read keeps what was kept before.
    virtual void keepIdentity(const QString& path) = 0;
};
