#include "PolicyStore.h"

#include "PolicySnapshot.h"
#include "io/DataDirectory.h"
#include "io/DocumentFile.h"
#include "io/Logging.h"

#include <QScopeGuard>

#include <algorithm>

PolicyStore::PolicyStore(QObject* parent)
    : QObject(parent)
{
    load();
}

void PolicyStore::setApps(const QList<ProtectedApp>& apps)
{
    m_apps = apps;
    emit appsChanged();
    save();
}

void PolicyStore::setFolders(const QList<ProtectedFolder>& folders)
{
    m_folders = folders;
    emit foldersChanged();
    save();
}

void PolicyStore::setSettings(const VeilmarkSettings& settings)
{
    m_settings = settings;
    emit settingsChanged();
    save();
}

QString PolicyStore::filePath() const
{
    return DataDirectory::filePath(QStringLiteral("policies.json"));
}

void PolicyStore::load()
{
    const QString path = filePath();
    DocumentFile::removeLeftovers(path);
    const DocumentFile::ReadResult file = DocumentFile::read(path);
    if (file.status == DocumentFile::ReadResult::Status::missing)
        return;
    QStringList problems;
    std::optional<PolicySnapshot> snapshot;
    if (file.status == DocumentFile::ReadResult::Status::unreadable)
        problems.append(file.error);
    else
        snapshot = PolicySnapshot::decode(file.bytes, &problems);
    if (snapshot) {
        m_isLoading = true;
        const auto done = qScopeGuard([this] { m_isLoading = false; });
        setApps(snapshot->apps);
        setFolders(snapshot->folders);
        setSettings(snapshot->settings);
    }
    if (problems.isEmpty())
        return;
    // Overwriting it would lose what could not be read, folders locked on disk among them. What
    // was kept is written at once, so the next start finds it even if nothing changes.
    m_setback = DocumentFile::setAside(path, problems);
    save();
}

void PolicyStore::save()
{
    if (m_isLoading || isReadOnly())
        return;
    // A failed write leaves memory authoritative; the next change or quit tries again.
    // The policy is written rarely and losing it would silently drop protection, so it is synced.
    const std::optional<QString> error = DocumentFile::write(
        filePath(), PolicySnapshot{m_apps, m_folders, m_settings}.encode(), DocumentFile::Durability::Synced);
    setSaveError(error.value_or(QString()));
}

void PolicyStore::savePending()
{
    if (!m_saveError.isEmpty())
        save();
}

void PolicyStore::setSaveError(const QString& error)
{
    if (error == m_saveError)
        return;
    if (!error.isEmpty())
        qCWarning(lcStore) << "cannot save the policy:" << error;
    m_saveError = error;
    emit saveErrorChanged();
}

std::optional<ProtectedApp> PolicyStore::enabledApp(const QString& bundleID) const
{
    for (const ProtectedApp& app : m_apps) {
        if (app.bundleID == bundleID && app.enabled)
            return app;
    }
    return std::nullopt;
}

bool PolicyStore::addApp(const ProtectedApp& app)
{
    const bool known = std::any_of(m_apps.cbegin(), m_apps.cend(),
                                   [&](const ProtectedApp& a) { return a.bundleID == app.bundleID; });
    if (known)
        return false;
    setApps(m_apps + QList<ProtectedApp>{app});
    return true;
}

void PolicyStore::removeApp(const ProtectedApp& app)
{
    QList<ProtectedApp> apps = m_apps;
    apps.removeIf([&](const ProtectedApp& a) { return a.bundleID == app.bundleID; });
    setApps(apps);
}

void PolicyStore::updateApp(const ProtectedApp& app)
{
    const auto it = std::find_if(m_apps.cbegin(), m_apps.cend(),
                                 [&](const ProtectedApp& a) { return a.bundleID == app.bundleID; });
    if (it == m_apps.cend())
        return;
    QList<ProtectedApp> apps = m_apps;
    apps[it - m_apps.cbegin()] = app;
    setApps(apps);
}

void PolicyStore::addFolder(const ProtectedFolder& folder)
{
    const bool known = std::any_of(m_folders.cbegin(), m_folders.cend(),
                                   [&](const ProtectedFolder& f) { return f.path == folder.path; });
    if (known)
        return;
    setFolders(m_folders + QList<ProtectedFolder>{folder});
}

void PolicyStore::removeFolder(const QUuid& id)
{
    QList<ProtectedFolder> folders = m_folders;
    folders.removeIf([&](const ProtectedFolder& f) { return f.id == id; });
    setFolders(folders);
}

void PolicyStore::updateFolder(const ProtectedFolder& folder)
{
    const auto it = std::find_if(m_folders.cbegin(), m_folders.cend(),
                                 [&](const ProtectedFolder& f) { return f.id == folder.id; });
    if (it == m_folders.cend())
        return;
    QList<ProtectedFolder> folders = m_folders;
    folders[it - m_folders.cbegin()] = folder;
    setFolders(folders);
}
