#pragma once

#include "model/ProtectedFolder.h"

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
class FolderProtectionEngine : public QObject
{
    Q_OBJECT

public:
    FolderProtectionEngine(PolicyStore& policy, AuthenticationService& auth, SessionManager& sessions,
                           EventLog& log, const QString& homePath, const QString& dataDirectory,
                           QObject* parent = nullptr);

    const QString& homePath() const { return m_homePath; }
    const QSet<QString>& forbiddenPaths() const { return m_forbiddenPaths; }

    // Absolute, without "." and ".." components or trailing and doubled slashes; "~" is the home.
    QString standardizedPath(const QString& path) const;
    bool canProtect(const QString& path) const;

    void addFolder(const QString& path);
    void lock(const ProtectedFolder& folder);
    void unlock(const ProtectedFolder& folder);
    void removeProtection(const ProtectedFolder& folder);
    void relockAll(const QString& reason);
    void relockAtLaunch();
    void sessionExpired(const QUuid& id);

private:
    void lockDirectory(const ProtectedFolder& folder);
    void unlockDirectory(const ProtectedFolder& folder);
    void finishUnlock(const ProtectedFolder& folder, bool authenticated);
    void storeLocked(const ProtectedFolder& folder, bool locked);

    PolicyStore& m_policy;
    AuthenticationService& m_auth;
    SessionManager& m_sessions;
    EventLog& m_log;
    QString m_homePath;
    QString m_dataDirectory;
    QSet<QString> m_forbiddenPaths;
};
