#pragma once

#include "model/ProtectedApp.h"
#include "model/ProtectedFolder.h"
#include "model/VeilmarkSettings.h"

#include <QList>
#include <QObject>

#include <optional>

// The user's protection policy. Every assignment to apps, folders or settings notifies
// observers once and rewrites policies.json once; loading never writes.
class PolicyStore : public QObject
{
    Q_OBJECT

public:
    explicit PolicyStore(QObject* parent = nullptr);

    const QList<ProtectedApp>& apps() const { return m_apps; }
    const QList<ProtectedFolder>& folders() const { return m_folders; }
    const VeilmarkSettings& settings() const { return m_settings; }
    void setApps(const QList<ProtectedApp>& apps);
    void setFolders(const QList<ProtectedFolder>& folders);
    void setSettings(const VeilmarkSettings& settings);

    bool isLoading() const { return m_isLoading; }
    QString filePath() const;

    void load();
    void save();

    std::optional<ProtectedApp> enabledApp(const QString& bundleID) const;
    bool addApp(const ProtectedApp& app);
    void removeApp(const ProtectedApp& app);
    void updateApp(const ProtectedApp& app);
    void addFolder(const ProtectedFolder& folder);
    void removeFolder(const QUuid& id);
    void updateFolder(const ProtectedFolder& folder);

signals:
    void appsChanged();
    void foldersChanged();
    void settingsChanged();

private:
    QList<ProtectedApp> m_apps;
    QList<ProtectedFolder> m_folders;
    VeilmarkSettings m_settings;
    bool m_isLoading = false;
};
