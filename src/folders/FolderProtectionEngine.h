#pragma once

#include "FolderLocations.h"
#include "FolderStatus.h"
#include "io/FolderWatcher.h"
#include "model/ProtectedFolder.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

class AuthenticationService;
class EventLog;
class PolicyStore;
class SessionManager;

// Carries out every change to a protected folder: which folders may be protected, adding them
// already locked, unlocking after authentication for the folder's own minutes, and relocking at
// expiry, by hand, on lock-all and at launch. Each outcome lands in the stored records and the
// activity log; a failed lock or unlock is logged and the target state is stored anyway.
//
// A folder is the directory that was added (device and inode), reached without following a
// symbolic link at its path; anything else at the path is an error, never locked or unlocked.
// What is shown for a folder is `status()`, probed on disk, not the stored wish. Changes made
// behind Veilmark's back to a folder that should be locked are relocked as soon as they happen.
class FolderProtectionEngine : public QObject
{
    Q_OBJECT

public:
    FolderProtectionEngine(PolicyStore& policy, AuthenticationService& auth, SessionManager& sessions,
                           EventLog& log, const QString& homePath, const QString& dataDirectory,
                           QObject* parent = nullptr);
    ~FolderProtectionEngine() override;

    const QString& homePath() const { return m_homePath; }
    const QSet<QString>& forbiddenPaths() const { return m_forbiddenPaths; }

    // Absolute, without "." and ".." components or trailing and doubled slashes; "~" is the home.
    QString standardizedPath(const QString& path) const;
    bool canProtect(const QString& path) const;

    // What the folder is on disk, as last probed (probed now if it never was).
    FolderStatus status(const QUuid& id) const;
    // Probes every folder again.
    void refresh();

    void addFolder(const QString& path);
    void lock(const ProtectedFolder& folder);
    void unlock(const ProtectedFolder& folder);
    void removeProtection(const ProtectedFolder& folder);
    void relockAll(const QString& reason);
    void relockAtLaunch();
    void sessionExpired(const QUuid& id);

signals:
    // Some folder's probed status changed.
    void statusChanged();

private:
    // Each takes the record by reference because a record stored without an identity adopts the
    // directory it finds (once, for documents written before identities were kept).
    // `cause` opens the failure event's detail when the lock was not asked for by the user.
    FolderStatus lockDirectory(ProtectedFolder& folder, const QString& cause = {});
    FolderStatus unlockDirectory(ProtectedFolder& folder);
    FolderStatus probe(ProtectedFolder folder) const;
    void finishUnlock(const ProtectedFolder& folder, bool authenticated);
    void storeLocked(const ProtectedFolder& folder, bool locked);
    void setStatus(const QUuid& id, const FolderStatus& status);
    void followPolicy();
    void watchedFoldersChanged(const QStringList& paths);
    // Names the processes still inside folders just locked; run after the lock, never delaying it.
    void warnAboutProcessesInside();

    PolicyStore& m_policy;
    AuthenticationService& m_auth;
    SessionManager& m_sessions;
    EventLog& m_log;
    QString m_homePath;
    QString m_dataDirectory;
    QSet<QString> m_forbiddenPaths;
    // Where a folder may be and whether it is still itself; shared with the guardian's relock.
    FolderLocations m_locations;
    mutable QHash<QUuid, FolderStatus> m_status;
    FolderWatcher m_watcher;
    QStringList m_watched;
    // Folders locked since the last look for processes inside: resolved path → name.
    QHash<QString, QString> m_justLocked;
};
