#pragma once

#include "auth/Alarm.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <unordered_map>

class Clock;

// What is unlocked right now: the applications the user unlocked, and for each unlocked folder the
// moment its unlock session ends, with an alarm that reports the expiry. It only keeps the record;
// locking and relocking are the protection engines' business. Nothing is persisted: every session
// ends with the process.
class SessionManager : public QObject
{
    Q_OBJECT

public:
    explicit SessionManager(Clock& clock, QObject* parent = nullptr);
    ~SessionManager() override;

    // Desktop-file ids of the applications that are currently unlocked.
    QSet<QString> unlockedApps() const;
    void setUnlockedApps(const QSet<QString>& apps);
    bool isAppUnlocked(const QString& bundleId) const;
    void insertUnlockedApp(const QString& bundleId);
    void removeUnlockedApp(const QString& bundleId);

    // For each folder with a running unlock session, when that session ends.
    QHash<QUuid, QDateTime> folderDeadlines() const;
    // Invalid when the folder has no running session.
    QDateTime deadlineFor(const QUuid& folderId) const;
    bool hasFolderSession(const QUuid& folderId) const;

    // Begins or restarts the folder's session: it ends `minutes` from now, one minute at the least.
    void startFolderSession(const QUuid& folderId, qint64 minutes);
    // Ends the session silently (no expiry report); a folder without a session is left alone.
    void endFolderSession(const QUuid& folderId);
    // Ends every session silently; returns the ids that had one, in no particular order.
    QList<QUuid> endAllFolderSessions();

    // Called, after the session was ended, when a folder's session runs out. Only an expiry reports;
    // ending a session by hand never does.
    std::function<void(const QUuid&)> onFolderSessionExpired;

signals:
    void unlockedAppsChanged();
    void folderDeadlinesChanged();

private:
    struct FolderAlarm
    {
        std::unique_ptr<Alarm> alarm;
        // Tells a queued expiry of a replaced alarm apart from the current one.
        quint64 generation = 0;
    };
    struct UuidHash
    {
        size_t operator()(const QUuid& id) const noexcept { return qHash(id); }
    };

    void expire(const QUuid& folderId, quint64 generation);

    Clock& m_clock;
    QSet<QString> m_unlockedApps;
    QHash<QUuid, QDateTime> m_folderDeadlines;
    // Has an entry exactly for the ids in m_folderDeadlines.
    std::unordered_map<QUuid, FolderAlarm, UuidHash> m_folderAlarms;
    quint64 m_lastGeneration = 0;
};
