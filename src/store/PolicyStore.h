#pragma once

#include "io/DocumentFile.h"
#include "model/ProtectedApp.h"
#include "model/ProtectedFolder.h"
#include "model/VeilmarkSettings.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <optional>

// The user's protection policy. Every assignment to apps, folders or settings notifies
// observers once and rewrites policies.json once. Loading writes only to replace a document it
// could not read in full: the original is first moved aside, never overwritten.
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
    // Saves again when the last save failed; at quit, so nothing waits for a next change.
    void savePending();

    // What load() could not take from policies.json ("apps[2] (...) cannot be read", or why the
    // file could not be read at all); empty when it was read whole or was missing.
    const QStringList& loadProblems() const { return m_setback.problems; }
    // The file name the unreadable policies.json was kept under, beside it.
    const QString& unreadableCopy() const { return m_setback.unreadableCopy; }
    // Why the unreadable policies.json could not be moved aside. Then it is never written this
    // session: changes stay in memory only.
    const QString& moveAsideError() const { return m_setback.moveAsideError; }
    bool isReadOnly() const { return !m_setback.moveAsideError.isEmpty(); }
    // Why the last save failed; empty while the file holds what memory holds.
    const QString& saveError() const { return m_saveError; }

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
    void saveErrorChanged();

private:
    void setSaveError(const QString& error);

    QList<ProtectedApp> m_apps;
    QList<ProtectedFolder> m_folders;
    VeilmarkSettings m_settings;
    bool m_isLoading = false;
    DocumentFile::Setback m_setback;
    QString m_saveError;
};
