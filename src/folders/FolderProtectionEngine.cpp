#include "FolderProtectionEngine.h"

#include "ForbiddenPaths.h"
#include "auth/AuthenticationService.h"
#include "auth/SessionManager.h"
#include "io/AccessControlLock.h"
#include "io/DirectoryHandle.h"
#include "io/ProcessesInside.h"
#include "store/EventLog.h"
#include "store/PolicySnapshot.h"
#include "store/PolicyStore.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QTimer>

#include <cstring>
#include <unistd.h>

namespace {
bool isInside(const QString& path, const QString& ancestor)
{
    return path.startsWith(ancestor + QLatin1Char('/'));
}

FolderStatus failed(FolderStatus::State state, const QString& reason)
{
    return FolderStatus{state, reason};
}

// "Moved or replaced — another folder is at /home/ada/Secret"
QString stateLine(const FolderStatus& status)
{
    return status.reason.isEmpty() ? status.text()
                                   : QStringLiteral("%1 — %2").arg(status.text(), status.reason);
}

// "Secret: Moved or replaced — …", for events whose subject is not the folder.
QString describe(const ProtectedFolder& folder, const FolderStatus& status)
{
    return QStringLiteral("%1: %2").arg(folder.name, stateLine(status));
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
    , m_locations(m_homePath, m_dataDirectory)
{
    connect(&m_policy, &PolicyStore::foldersChanged, this, &FolderProtectionEngine::followPolicy);
    connect(&m_watcher, &FolderWatcher::changed, this, &FolderProtectionEngine::watchedFoldersChanged);
    followPolicy();
}

FolderProtectionEngine::~FolderProtectionEngine() = default;

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
    const auto refuse = [&](const QString& why) {
        m_log.record(LogEventKind::error, tr("Can't protect folder"), why);
    };
    if (!canProtect(standardized))
        return refuse(tr("%1 is a system or already-protected location.").arg(name));
    if (m_policy.folders().size() >= PolicySnapshot::MaxFolders)
        return refuse(tr("%1: no more than %2 folders can be protected.")
                          .arg(name, QLocale().toString(PolicySnapshot::MaxFolders)));
    const DirectoryHandle directory = DirectoryHandle::open(standardized);
    if (directory.status() == DirectoryHandle::Status::notDirectory)
        return refuse(tr("%1 is a symbolic link, not a folder — add the folder it leads to.").arg(name));
    if (!directory.isOpen())
        return refuse(
            QStringLiteral("%1: %2").arg(name, QString::fromLocal8Bit(std::strerror(directory.error()))));
    if (directory.owner() != ::geteuid())
        return refuse(tr("%1 belongs to another user; only your own folders can be locked.").arg(name));
    if (const std::optional<QString> fileSystem = directory.unsupportedFileSystem())
        return refuse(
            tr("%1 is on a %2 file system, whose permissions cannot lock it.").arg(name, *fileSystem));
    if (!m_locations.isAllowed(directory.resolvedPath()))
        return refuse(tr("%1 is a system or already-protected location.").arg(name));

    ProtectedFolder folder;
    folder.id = QUuid::createUuid();
    folder.path = standardized;
    folder.name = name;
    folder.unlockMinutes = m_policy.settings().defaultFolderUnlockMinutes;
    folder.device = directory.device();
    folder.inode = directory.inode();
    m_policy.addFolder(folder);
    if (lockDirectory(folder).isLocked())
        m_log.record(LogEventKind::folderRelocked, folder.name, tr("Added and locked"));
    emit statusChanged();
}

FolderStatus FolderProtectionEngine::status(const QUuid& id) const
{
    if (const auto it = m_status.constFind(id); it != m_status.cend())
        return *it;
    for (const ProtectedFolder& folder : m_policy.folders()) {
        if (folder.id == id)
            return m_status[id] = probe(folder);
    }
    return failed(FolderStatus::State::missing, {});
}

void FolderProtectionEngine::refresh()
{
    bool changed = false;
    for (const ProtectedFolder& folder : m_policy.folders()) {
        const FolderStatus now = probe(folder);
        if (!m_status.contains(folder.id) || m_status.value(folder.id) != now) {
            m_status.insert(folder.id, now);
            changed = true;
        }
    }
    if (changed)
        emit statusChanged();
}

void FolderProtectionEngine::lock(const ProtectedFolder& folder)
{
    ProtectedFolder copy = folder;
    const FolderStatus status = lockDirectory(copy);
    m_sessions.endFolderSession(folder.id);
    storeLocked(copy, true);
    if (status.isLocked())
        m_log.record(LogEventKind::folderRelocked, folder.name, tr("Locked"));
    emit statusChanged();
}

void FolderProtectionEngine::unlock(const ProtectedFolder& folder)
{
    if (m_auth.isAuthenticating())
        return;
    QPointer<FolderProtectionEngine> self(this);
    m_auth.authenticate(
        tr("unlock the folder “%1”").arg(folder.name), false,
        [self, folder](bool authenticated) {
            if (self)
                self->finishUnlock(folder, authenticated);
        },
        AuthenticationService::Purpose::unlockFolder);
}

void FolderProtectionEngine::finishUnlock(const ProtectedFolder& folder, bool authenticated)
{
    if (!authenticated) {
        m_log.record(LogEventKind::folderAuthFailed, folder.name,
                     m_auth.lastErrorMessage().value_or(tr("Authentication cancelled")));
        return;
    }
    ProtectedFolder copy = folder;
    const FolderStatus status = unlockDirectory(copy);
    storeLocked(copy, false);
    m_sessions.startFolderSession(folder.id, folder.unlockMinutes);
    if (status.state == FolderStatus::State::unlocked)
        m_log.record(LogEventKind::folderUnlocked, folder.name,
                     tr("Unlocked for %1 min").arg(folder.unlockMinutes));
    emit statusChanged();
}

void FolderProtectionEngine::removeProtection(const ProtectedFolder& folder)
{
    ProtectedFolder copy = folder;
    unlockDirectory(copy);
    m_sessions.endFolderSession(folder.id);
    m_policy.removeFolder(folder.id);
    m_log.record(LogEventKind::folderRelocked, folder.name, tr("Protection removed"));
    emit statusChanged();
}

void FolderProtectionEngine::sessionExpired(const QUuid& id)
{
    const QList<ProtectedFolder>& folders = m_policy.folders();
    const auto it =
        std::find_if(folders.cbegin(), folders.cend(), [&](const ProtectedFolder& f) { return f.id == id; });
    if (it == folders.cend())
        return;
    ProtectedFolder folder = *it;
    const FolderStatus status = lockDirectory(folder);
    storeLocked(folder, true);
    if (status.isLocked())
        m_log.record(LogEventKind::folderRelocked, folder.name, tr("Unlock session expired"));
    emit statusChanged();
}

void FolderProtectionEngine::relockAll(const QString& reason)
{
    m_sessions.endAllFolderSessions();
    QHash<QUuid, ProtectedFolder> relocked;
    for (ProtectedFolder folder : m_policy.folders()) {
        // Stored locked yet open (changed behind Veilmark's back a moment ago, before the watcher
        // could act): locked as well, since this may be the last thing Veilmark does.
        if (!folder.enabled || (folder.isLocked && probe(folder).state != FolderStatus::State::lockFailed))
            continue;
        lockDirectory(folder);
        folder.isLocked = true;
        relocked.insert(folder.id, folder);
    }
    if (relocked.isEmpty())
        return;
    // One write for the whole lock-all: with a hundred folders, a synced write per folder would
    // keep the machine from sleeping for a noticeable time. Only the lock state (and an identity
    // adopted on the way) is ours to set.
    QList<ProtectedFolder> stored = m_policy.folders();
    for (ProtectedFolder& folder : stored)
        folder = relocked.value(folder.id, folder);
    m_policy.setFolders(stored);
    m_log.record(LogEventKind::systemRelock, tr("Folders relocked"), reason);
    emit statusChanged();
}

void FolderProtectionEngine::relockAtLaunch()
{
    // Every enabled folder is locked again, whatever is stored: a killed process leaves unlock
    // sessions behind, and anything may have happened to the folders while Veilmark was not
    // running. One pass and one write, however many folders there are.
    QList<ProtectedFolder> folders = m_policy.folders();
    QStringList relocked;
    bool changed = false;
    for (ProtectedFolder& folder : folders) {
        if (!folder.enabled) {
            m_status.insert(folder.id, probe(folder));
            continue;
        }
        const ProtectedFolder stored = folder;
        if (lockDirectory(folder).isLocked() && !folder.isLocked)
            relocked.append(folder.name);
        folder.isLocked = true;
        changed = changed || folder != stored;
    }
    if (changed)
        m_policy.setFolders(folders);
    if (!relocked.isEmpty())
        m_log.record(LogEventKind::folderRelocked,
                     relocked.size() == 1 ? relocked.constFirst()
                                          : tr("%n folders", "", int(relocked.size())),
                     tr("Relocked at launch — unlock session did not survive quit"));
    emit statusChanged();
}

void FolderProtectionEngine::watchedFoldersChanged(const QStringList& paths)
{
    const QSet<QString> changedPaths(paths.cbegin(), paths.cend());
    bool changed = false;
    for (ProtectedFolder folder : m_policy.folders()) {
        if (!paths.isEmpty() && !changedPaths.contains(folder.path))
            continue;
        const auto known = m_status.constFind(folder.id);
        const bool wasLocked = known == m_status.cend() || known->isLocked();
        FolderStatus now = probe(folder);
        if (now.state == FolderStatus::State::lockFailed && wasLocked) {
            // Opened behind Veilmark's back (chmod, a remount): lock it again. A lock that did not
            // take is not retried here, or its own mode change would bring it back at once.
            now = lockDirectory(folder, tr("Permissions changed outside Veilmark"));
            if (now.isLocked())
                m_log.record(LogEventKind::folderRelocked, folder.name,
                             tr("Permissions changed outside Veilmark"));
        } else if (now.isError() && (known == m_status.cend() || known->state != now.state)) {
            m_log.record(LogEventKind::error, folder.name, stateLine(now));
        }
        if (known == m_status.cend() || *known != now) {
            m_status.insert(folder.id, now);
            changed = true;
        }
    }
    if (changed)
        emit statusChanged();
}

FolderStatus FolderProtectionEngine::lockDirectory(ProtectedFolder& folder, const QString& cause)
{
    QString resolvedPath;
    const FolderStatus status = m_locations.lock(folder, &resolvedPath);
    m_status.insert(folder.id, status);
    if (status.isLocked()) {
        if (m_justLocked.isEmpty())
            QTimer::singleShot(0, this, &FolderProtectionEngine::warnAboutProcessesInside);
        m_justLocked.insert(resolvedPath, folder.name);
    }
    if (status.isError()) {
        const QString detail = describe(folder, status);
        m_log.record(LogEventKind::error, tr("Folder lock failed"),
                     cause.isEmpty() ? detail : QStringLiteral("%1 — %2").arg(cause, detail));
    }
    return status;
}

FolderStatus FolderProtectionEngine::unlockDirectory(ProtectedFolder& folder)
{
    const DirectoryHandle directory = DirectoryHandle::open(folder.path);
    FolderStatus status{FolderStatus::State::unlocked, {}};
    if (const std::optional<FolderStatus> other = m_locations.mismatch(directory, folder)) {
        // Whatever is at the path now is not the folder that was locked: it is left as it is.
        status = *other;
        m_log.record(LogEventKind::error, tr("Folder unlock failed"), describe(folder, status));
    } else {
        const AccessControlLock::Unlocked result = AccessControlLock::unlockDirectory(directory);
        if (result.distrustedRememberedBits)
            m_log.record(LogEventKind::error, folder.name,
                         tr("Its remembered permissions would have shut you out; "
                            "restored read, write and search instead"));
        if (result.error) {
            status = FolderStatus{FolderStatus::State::locked, *result.error};
            m_log.record(LogEventKind::error, tr("Folder unlock failed"),
                         QStringLiteral("%1: %2").arg(folder.name, *result.error));
        }
    }
    m_status.insert(folder.id, status);
    return status;
}

FolderStatus FolderProtectionEngine::probe(ProtectedFolder folder) const
{
    return m_locations.probe(folder);
}

void FolderProtectionEngine::warnAboutProcessesInside()
{
    const QHash<QString, QString> locked = std::exchange(m_justLocked, {});
    const QHash<QString, QStringList> inside = ProcessesInside::find(locked.keys());
    for (auto it = inside.cbegin(); it != inside.cend(); ++it) {
        constexpr qsizetype Named = 3;
        QString names = it->mid(0, Named).join(QStringLiteral(", "));
        if (it->size() > Named)
            names = tr("%1 and %n more", "processes", int(it->size() - Named)).arg(names);
        m_log.record(LogEventKind::error, locked.value(it.key()),
                     tr("Still open in %1 — they keep access until they leave it").arg(names));
    }
}

void FolderProtectionEngine::storeLocked(const ProtectedFolder& folder, bool locked)
{
    ProtectedFolder copy = folder;
    copy.isLocked = locked;
    m_policy.updateFolder(copy);
}

void FolderProtectionEngine::followPolicy()
{
    const QList<ProtectedFolder>& folders = m_policy.folders();
    QSet<QUuid> ids;
    QStringList watched;
    for (const ProtectedFolder& folder : folders) {
        ids.insert(folder.id);
        if (folder.enabled)
            watched.append(folder.path);
    }
    m_status.removeIf([&](const auto& entry) { return !ids.contains(entry.key()); });
    if (watched != m_watched) {
        m_watcher.watch(watched);
        m_watched = watched;
    }
}
