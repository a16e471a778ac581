#include "FolderProtectionEngine.h"

#include "ForbiddenPaths.h"
#include "auth/AuthenticationService.h"
#include "auth/SessionManager.h"
#include "io/AccessControlLock.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace {
bool isInside(const QString& path, const QString& ancestor)
{
    return path.startsWith(ancestor + QLatin1Char('/'));
}
} // namespace

FolderProtectionEngine::FolderProtectionEngine(PolicyStore& policy, AuthenticationService& auth,
                                               SessionManager& sessions, EventLog& log,
                                               const QString& homePath, const QString& dataDirectory,
                                               QObject* parent)
    : QObject(parent)
    , m_policy(policy)
    , m_auth(auth)
    , m_sessions(sessions)
    , m_log(log)
    , m_homePath(QDir::cleanPath(homePath))
    , m_dataDirectory(QDir::cleanPath(dataDirectory))
    , m_forbiddenPaths(ForbiddenPaths::forHome(m_homePath))
{}

QString FolderProtectionEngine::standardizedPath(const QString& path) const
{
    QString expanded = path;
    if (expanded == QLatin1String("~") || expanded.startsWith(QLatin1String("~/")))
        expanded = m_homePath + expanded.mid(1);
    return QDir::cleanPath(expanded);
}

bool FolderProtectionEngine::canProtect(const QString& path) const
{
    const QString standardized = standardizedPath(path);
    const QFileInfo info(standardized);
    if (!QDir::isAbsolutePath(standardized) || !info.isDir())
        return false;
    if (m_forbiddenPaths.contains(standardized) || !isInside(standardized, m_homePath))
        return false;

    // Through symbolic links too: a link to a forbidden folder or to Veilmark's own data
    // directory must not lock what it points at.
    const QString resolved = info.canonicalFilePath();
    const QString dataDirectory = QFileInfo(m_dataDirectory).canonicalFilePath();
    for (const QString& forbidden : m_forbiddenPaths) {
        if (resolved == forbidden || resolved == QFileInfo(forbidden).canonicalFilePath())
            return false;
    }
    for (const QString& own : {m_dataDirectory, dataDirectory}) {
        if (!own.isEmpty() && (standardized == own || isInside(own, standardized) || resolved == own ||
                               isInside(own, resolved)))
            return false;
    }

    for (const ProtectedFolder& folder : m_policy.folders()) {
        if (standardized == folder.path || isInside(standardized, folder.path) ||
            isInside(folder.path, standardized))
            return false;
    }
    return true;
}

void FolderProtectionEngine::addFolder(const QString& path)
{
    const QString standardized = standardizedPath(path);
    const QString name = QFileInfo(QDir::cleanPath(path)).fileName();
    if (!canProtect(standardized)) {
        m_log.record(LogEventKind::error, QStringLiteral("Can't protect folder"),
                     name + QStringLiteral(" is a system or already-protected location."));
        return;
    }
    const ProtectedFolder folder{
        QUuid::createUuid(), standardized, name, true, true, m_policy.settings().defaultFolderUnlockMinutes};
    m_policy.addFolder(folder);
    lockDirectory(folder);
    m_log.record(LogEventKind::folderRelocked, folder.name, QStringLiteral("Added and locked"));
}

void FolderProtectionEngine::lock(const ProtectedFolder& folder)
{
    lockDirectory(folder);
    m_sessions.endFolderSession(folder.id);
    storeLocked(folder, true);
    m_log.record(LogEventKind::folderRelocked, folder.name, QStringLiteral("Locked"));
}

void FolderProtectionEngine::unlock(const ProtectedFolder& folder)
{
    if (m_auth.isAuthenticating())
        return;
    QPointer<FolderProtectionEngine> self(this);
    m_auth.authenticate(QStringLiteral("unlock the folder “%1”").arg(folder.name), false,
                        [self, folder](bool authenticated) {
                            if (self)
                                self->finishUnlock(folder, authenticated);
                        });
}

void FolderProtectionEngine::finishUnlock(const ProtectedFolder& folder, bool authenticated)
{
    if (!authenticated) {
        m_log.record(LogEventKind::folderAuthFailed, folder.name,
                     m_auth.lastErrorMessage().value_or(QStringLiteral("Authentication cancelled")));
        return;
    }
    unlockDirectory(folder);
    storeLocked(folder, false);
    m_sessions.startFolderSession(folder.id, folder.unlockMinutes);
    m_log.record(LogEventKind::folderUnlocked, folder.name,
                 QStringLiteral("Unlocked for %1 min").arg(folder.unlockMinutes));
}

void FolderProtectionEngine::removeProtection(const ProtectedFolder& folder)
{
    unlockDirectory(folder);
    m_sessions.endFolderSession(folder.id);
    m_policy.removeFolder(folder.id);
    m_log.record(LogEventKind::folderRelocked, folder.name, QStringLiteral("Protection removed"));
}

void FolderProtectionEngine::sessionExpired(const QUuid& id)
{
    const QList<ProtectedFolder>& folders = m_policy.folders();
    const auto it =
        std::find_if(folders.cbegin(), folders.cend(), [&](const ProtectedFolder& f) { return f.id == id; });
    if (it == folders.cend())
        return;
    const ProtectedFolder folder = *it;
    lockDirectory(folder);
    storeLocked(folder, true);
    m_log.record(LogEventKind::folderRelocked, folder.name, QStringLiteral("Unlock session expired"));
}

void FolderProtectionEngine::relockAll(const QString& reason)
{
    m_sessions.endAllFolderSessions();
    QSet<QUuid> relocked;
    const QList<ProtectedFolder> folders = m_policy.folders();
    for (const ProtectedFolder& folder : folders) {
        if (folder.enabled && !folder.isLocked) {
            lockDirectory(folder);
            relocked.insert(folder.id);
        }
    }
    if (relocked.isEmpty())
        return;
    // One write for the whole lock-all: with a hundred folders, a synced write per folder would
    // keep the machine from sleeping for a noticeable time. Only the lock state is ours to set.
    QList<ProtectedFolder> stored = m_policy.folders();
    for (ProtectedFolder& folder : stored) {
        if (relocked.contains(folder.id))
            folder.isLocked = true;
    }
    m_policy.setFolders(stored);
    m_log.record(LogEventKind::systemRelock, QStringLiteral("Folders relocked"), reason);
}

void FolderProtectionEngine::relockAtLaunch()
{
    const QList<ProtectedFolder> folders = m_policy.folders();
    for (const ProtectedFolder& folder : folders) {
        if (!folder.enabled)
            continue;
        lockDirectory(folder);
        if (!folder.isLocked) {
            storeLocked(folder, true);
            m_log.record(LogEventKind::folderRelocked, folder.name,
                         QStringLiteral("Relocked at launch — unlock session did not survive quit"));
        }
    }
}

void FolderProtectionEngine::lockDirectory(const ProtectedFolder& folder)
{
    if (const std::optional<QString> error = AccessControlLock::lockAndVerify(folder.path))
        m_log.record(LogEventKind::error, QStringLiteral("Folder lock failed"), *error);
}

void FolderProtectionEngine::unlockDirectory(const ProtectedFolder& folder)
{
    if (const std::optional<QString> error = AccessControlLock::unlockAndVerify(folder.path))
        m_log.record(LogEventKind::error, QStringLiteral("Folder unlock failed"), *error);
}

void FolderProtectionEngine::storeLocked(const ProtectedFolder& folder, bool locked)
{
    ProtectedFolder copy = folder;
    copy.isLocked = locked;
    m_policy.updateFolder(copy);
}
