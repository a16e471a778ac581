#include "auth/SessionManager.h"

#include "auth/Clock.h"

#include <QMetaObject>
#include <QPointer>

// Longer sessions are cut to a century: as good as forever, and the deadline stays representable
// whatever number of minutes a caller passes.
static constexpr qint64 kMaxSessionMinutes = qint64{100} * 366 * 24 * 60;

SessionManager::SessionManager(Clock& clock, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
{}

SessionManager::~SessionManager() = default;

QSet<QString> SessionManager::unlockedApps() const
{
    return m_unlockedApps;
}

void SessionManager::setUnlockedApps(const QSet<QString>& apps)
{
    if (apps == m_unlockedApps) {
        return;
    }
    m_unlockedApps = apps;
    emit unlockedAppsChanged();
}

bool SessionManager::isAppUnlocked(const QString& bundleId) const
{
    return m_unlockedApps.contains(bundleId);
}

void SessionManager::insertUnlockedApp(const QString& bundleId)
{
    if (m_unlockedApps.contains(bundleId)) {
        return;
    }
    m_unlockedApps.insert(bundleId);
    emit unlockedAppsChanged();
}

void SessionManager::removeUnlockedApp(const QString& bundleId)
{
    if (m_unlockedApps.remove(bundleId)) {
        emit unlockedAppsChanged();
    }
}

QHash<QUuid, QDateTime> SessionManager::folderDeadlines() const
{
    return m_folderDeadlines;
}

QDateTime SessionManager::deadlineFor(const QUuid& folderId) const
{
    return m_folderDeadlines.value(folderId);
}

bool SessionManager::hasFolderSession(const QUuid& folderId) const
{
    return m_folderDeadlines.contains(folderId);
}

void SessionManager::startFolderSession(const QUuid& folderId, qint64 minutes)
{
    const qint64 sessionMinutes = minutes >= 2 ? qMin(minutes, kMaxSessionMinutes) : 1;
    const QDateTime deadline = m_clock.now().addSecs(sessionMinutes * 60);
    const quint64 generation = ++m_lastGeneration;

    QPointer<SessionManager> self(this);
    auto alarm = m_clock.alarmAt(deadline, [self, folderId, generation] {
        // The alarm fires inside the clock's own dispatch; the maps are touched only from a later turn
        // of the event loop, so an expiry never interleaves with another operation on them. Queued on
        // the manager itself, the call is dropped if the manager is gone by then.
        if (self) {
            QMetaObject::invokeMethod(
                self.data(), [self, folderId, generation] { self->expire(folderId, generation); },
                Qt::QueuedConnection);
        }
    });

    // Replacing the entry destroys, and so cancels, the previous alarm.
    m_folderAlarms.insert_or_assign(folderId, FolderAlarm{std::move(alarm), generation});
    const auto previous = m_folderDeadlines.constFind(folderId);
    const bool changed = previous == m_folderDeadlines.cend() || *previous != deadline;
    m_folderDeadlines.insert(folderId, deadline);
    if (changed) {
        emit folderDeadlinesChanged();
    }
}

void SessionManager::endFolderSession(const QUuid& folderId)
{
    const bool hadSession = m_folderDeadlines.remove(folderId) > 0;
    m_folderAlarms.erase(folderId);
    if (hadSession) {
        emit folderDeadlinesChanged();
    }
}

QList<QUuid> SessionManager::endAllFolderSessions()
{
    const QList<QUuid> ids = m_folderDeadlines.keys();
    for (const QUuid& id : ids) {
        endFolderSession(id);
    }
    return ids;
}

void SessionManager::expire(const QUuid& folderId, quint64 generation)
{
    // Only the alarm of the session still running may end it: the session may have been ended, or
    // restarted with a new alarm, while this expiry was waiting in the queue.
    const auto current = m_folderAlarms.find(folderId);
    if (current == m_folderAlarms.end() || current->second.generation != generation) {
        return;
    }
    // Copied first: the callback may replace itself, and an observer of the change may delete us.
    const auto callback = onFolderSessionExpired;
    endFolderSession(folderId);
    if (callback) {
        callback(folderId);
    }
}
