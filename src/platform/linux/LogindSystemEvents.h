#pragma once

#include "app/SystemEvents.h"

#include <QDBusContext>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class QDBusMessage;
class QDBusObjectPath;
class QDBusServiceWatcher;

// The relock moments as a Linux desktop reports them. On the system bus, logind's PrepareForSleep(true)
// is going to sleep, the own session's Active turning false is a session switch and the session's Lock
// is a screen lock; on the session bus, ActiveChanged(true) of the freedesktop or GNOME screen saver is
// a screen lock too. PrepareForShutdown(true) and the removal of the own session end the session. While
// awake, a logind delay inhibitor makes sleep wait until goingToSleep() has been handled. Whatever bus or
// service is missing simply sends nothing; logind is followed when it starts later or restarts.
class LogindSystemEvents : public SystemEvents, protected QDBusContext
{
    Q_OBJECT

public:
    explicit LogindSystemEvents(QObject* parent = nullptr);
    ~LogindSystemEvents() override;

    LogindSystemEvents(const LogindSystemEvents&) = delete;
    LogindSystemEvents& operator=(const LogindSystemEvents&) = delete;

    void start() override;

    // Whether sleep currently waits for this process: from logind's answer after start() until sleep is
    // prepared, and again once the computer has resumed.
    bool holdsSleepInhibitor() const { return m_inhibitorFd >= 0; }
    // logind's object path of the session whose switch and lock count; empty until logind has named it.
    QString sessionPath() const { return m_sessionPath; }

private slots:
    void onPrepareForSleep(bool preparing);
    void onSessionPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                    const QStringList& invalidated);
    void onSessionLock();
    void onPrepareForShutdown(bool preparing);
    void onSessionRemoved(const QString& id, const QDBusObjectPath& path);
    void onScreenSaverActiveChanged(bool active);

private:
    enum class SessionLookup
    {
        byProcess,     // GetSessionByPID(getpid())
        byEnvironment, // GetSession($XDG_SESSION_ID)
        automatic,     // GetSession("auto"): the caller's session, else the user's graphical one
    };

    void onLogindStarted();
    void onLogindStopped();
    void takeSleepInhibitor();
    void onInhibitReply(quint64 generation, const QDBusMessage& reply);
    void releaseSleepInhibitor();
    void lookUpSession(SessionLookup step);
    void onSessionReply(quint64 generation, SessionLookup step, const QDBusMessage& reply);
    void followSession(const QString& path);
    void subscribeToScreenSavers();

    bool m_started = false;
    bool m_preparingForSleep = false;
    bool m_inhibitRequested = false;
    bool m_sessionLookupRunning = false;
    // Bumped when logind goes away, so that answers of the old instance are recognised as stale.
    quint64 m_logindGeneration = 0;
    int m_inhibitorFd = -1;
    QString m_sessionPath;
    // Connections whose screen saver has announced a lock and not yet its end.
    QSet<QString> m_activeScreenSavers;
    QDBusServiceWatcher* m_logindWatcher = nullptr;
};
