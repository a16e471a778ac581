#include "platform/linux/LogindSystemEvents.h"

#include "platform/linux/LinuxLogging.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusUnixFileDescriptor>
#include <QLoggingCategory>
#include <QPointer>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kServiceUnknown = QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown");

// logind answers at once; a wedged one must not keep the inhibitor or the session pending for long.
constexpr int kCallTimeoutMs = 5000;

struct ScreenSaver
{
    QString service;
    QString path;
};

// The freedesktop interface is exported at both paths by different desktops (KDE uses both at once).
const ScreenSaver kScreenSavers[] = {
    {QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver")},
    {QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/ScreenSaver")},
    {QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("/org/gnome/ScreenSaver")},
};

QDBusMessage managerCall(const QString& method, const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kLogind, kManagerPath, kManagerInterface, method);
    message.setArguments(arguments);
    return message;
}

bool isReply(const QDBusMessage& message)
{
    return message.type() == QDBusMessage::ReplyMessage && !message.arguments().isEmpty();
}

} // namespace

LogindSystemEvents::LogindSystemEvents(QObject* parent)
    : SystemEvents(parent)
{}

LogindSystemEvents::~LogindSystemEvents()
{
    releaseSleepInhibitor();
}

void LogindSystemEvents::start()
{
    if (m_started) {
        return;
    }
    m_started = true;
    subscribeToScreenSavers();

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        qCInfo(lcLogind) << "no system bus; sleep and session events are not watched";
        return;
    }
    // Subscribed before the inhibitor is asked for, so that no sleep can start unseen in between.
    bus.connect(kLogind, kManagerPath, kManagerInterface, QStringLiteral("PrepareForSleep"), this,
                SLOT(onPrepareForSleep(bool)));
    // A slot is matched by the names of its argument types: the object path type must be known by name.
    qRegisterMetaType<QDBusObjectPath>();
    if (!bus.connect(kLogind, kManagerPath, kManagerInterface, QStringLiteral("PrepareForShutdown"), this,
                     SLOT(onPrepareForShutdown(bool))) ||
        !bus.connect(kLogind, kManagerPath, kManagerInterface, QStringLiteral("SessionRemoved"), this,
                     SLOT(onSessionRemoved(QString, QDBusObjectPath)))) {
        qCWarning(lcLogind) << "cannot follow shutdown and the end of the session:"
                            << bus.lastError().message();
    }
    m_logindWatcher = new QDBusServiceWatcher(
        kLogind, bus, QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
        this);
    connect(m_logindWatcher, &QDBusServiceWatcher::serviceRegistered, this,
            &LogindSystemEvents::onLogindStarted);
    connect(m_logindWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
            &LogindSystemEvents::onLogindStopped);
    takeSleepInhibitor();
    lookUpSession(SessionLookup::byProcess);
}

void LogindSystemEvents::onPrepareForSleep(bool preparing)
{
    if (!preparing) {
        m_preparingForSleep = false;
        takeSleepInhibitor();
        return;
    }
    m_preparingForSleep = true;
    // Handlers connected directly relock before emit returns; only then may the computer sleep.
    QPointer<LogindSystemEvents> self(this);
    emit goingToSleep();
    if (self) {
        releaseSleepInhibitor();
    }
}

void LogindSystemEvents::onSessionPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                                    const QStringList&)
{
    if (interface != kSessionInterface) {
        return;
    }
    // logind sends Active with its value; it changes only when another session takes the seat or this
    // one comes back.
    const auto active = changed.constFind(QStringLiteral("Active"));
    if (active != changed.constEnd() && !active->toBool()) {
        emit sessionSwitched();
    }
}

void LogindSystemEvents::onSessionLock()
{
    emit screenLocked();
}

void LogindSystemEvents::onPrepareForShutdown(bool preparing)
{
    if (preparing) {
        emit sessionEnding();
    }
}

void LogindSystemEvents::onSessionRemoved(const QString&, const QDBusObjectPath& path)
{
    // Another session of the user (a second login elsewhere) ending says nothing about this one.
    if (!m_sessionPath.isEmpty() && path.path() == m_sessionPath) {
        emit sessionEnding();
    }
}

void LogindSystemEvents::onScreenSaverActiveChanged(bool active)
{
    // One screen saver may announce one lock on several paths or interfaces: a lock counts once per
    // announcing connection until that connection says it is inactive again.
    const QString sender = calledFromDBus() ? message().service() : QString();
    if (!active) {
        m_activeScreenSavers.remove(sender);
        return;
    }
    if (m_activeScreenSavers.contains(sender)) {
        return;
    }
    m_activeScreenSavers.insert(sender);
    emit screenLocked();
}

void LogindSystemEvents::onLogindStarted()
{
    takeSleepInhibitor();
    if (m_sessionPath.isEmpty() && !m_sessionLookupRunning) {
        lookUpSession(SessionLookup::byProcess);
    }
}

// A restarted logind keeps its sessions, so the session subscription stays; the inhibitor and anything
// still asked of the old instance are given up and asked of the new one.
void LogindSystemEvents::onLogindStopped()
{
    ++m_logindGeneration;
    m_inhibitRequested = false;
    m_sessionLookupRunning = false;
    m_preparingForSleep = false;
    releaseSleepInhibitor();
}

void LogindSystemEvents::takeSleepInhibitor()
{
    if (!m_started || m_preparingForSleep || m_inhibitRequested || m_inhibitorFd >= 0) {
        return;
    }
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        return;
    }
    m_inhibitRequested = true;
    const QDBusMessage inhibit =
        managerCall(QStringLiteral("Inhibit"),
                    {QStringLiteral("sleep"), QStringLiteral("Veilmark"),
                     tr("Relock protected apps and folders before sleep"), QStringLiteral("delay")});
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(inhibit, kCallTimeoutMs), this);
    const quint64 generation = m_logindGeneration;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        onInhibitReply(generation, watcher->reply());
    });
}

void LogindSystemEvents::onInhibitReply(quint64 generation, const QDBusMessage& reply)
{
    // A stale inhibitor closes with its reply.
    if (generation != m_logindGeneration) {
        return;
    }
    m_inhibitRequested = false;
    if (!isReply(reply)) {
        if (reply.errorName() == kServiceUnknown) {
            qCInfo(lcLogind) << "logind is not running; sleep is not delayed for relocking";
        } else {
            qCWarning(lcLogind) << "logind refused the sleep inhibitor:" << reply.errorMessage();
        }
        return;
    }
    // A sleep that began while the request was under way must not wait for this one.
    if (m_preparingForSleep) {
        return;
    }
    const auto descriptor = reply.arguments().constFirst().value<QDBusUnixFileDescriptor>();
    if (!descriptor.isValid()) {
        qCWarning(lcLogind) << "logind's sleep inhibitor came without a file descriptor";
        return;
    }
    // An own descriptor, closed exactly when sleep may go on, whatever copies the reply still holds.
    // Close-on-exec: an application launched from here must not hold up sleep.
    m_inhibitorFd = ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (m_inhibitorFd < 0) {
        qCWarning(lcLogind) << "cannot keep the sleep inhibitor:" << qt_error_string(errno);
    }
}

void LogindSystemEvents::releaseSleepInhibitor()
{
    if (m_inhibitorFd >= 0) {
        ::close(m_inhibitorFd);
        m_inhibitorFd = -1;
    }
}

// A process started outside the session (by the user's service manager, say) has no session of its
// own; then the session named by the environment counts, and finally the one logind picks as the
// user's.
void LogindSystemEvents::lookUpSession(SessionLookup step)
{
    QDBusMessage lookup;
    switch (step) {
    case SessionLookup::byProcess:
        lookup = managerCall(QStringLiteral("GetSessionByPID"), {static_cast<quint32>(::getpid())});
        break;
    case SessionLookup::byEnvironment: {
        const QString id = qEnvironmentVariable("XDG_SESSION_ID");
        if (id.isEmpty()) {
            lookUpSession(SessionLookup::automatic);
            return;
        }
        lookup = managerCall(QStringLiteral("GetSession"), {id});
        break;
    }
    case SessionLookup::automatic:
        lookup = managerCall(QStringLiteral("GetSession"), {QStringLiteral("auto")});
        break;
    }
    m_sessionLookupRunning = true;
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(lookup, kCallTimeoutMs), this);
    const quint64 generation = m_logindGeneration;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, generation, step] {
        watcher->deleteLater();
        onSessionReply(generation, step, watcher->reply());
    });
}

void LogindSystemEvents::onSessionReply(quint64 generation, SessionLookup step, const QDBusMessage& reply)
{
    if (generation != m_logindGeneration) {
        return;
    }
    m_sessionLookupRunning = false;
    const QString path =
        isReply(reply) ? reply.arguments().constFirst().value<QDBusObjectPath>().path() : QString();
    if (!path.isEmpty()) {
        followSession(path);
    } else if (reply.errorName() == kServiceUnknown) {
        // Looked up again when logind starts.
    } else if (step == SessionLookup::byProcess) {
        lookUpSession(SessionLookup::byEnvironment);
    } else if (step == SessionLookup::byEnvironment) {
        lookUpSession(SessionLookup::automatic);
    } else {
        qCInfo(lcLogind) << "no login session; session switches and locks are not watched:"
                         << reply.errorMessage();
    }
}

void LogindSystemEvents::followSession(const QString& path)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    // Signals carry the session's real object path, never an alias such as .../session/auto.
    bus.connect(kLogind, path, kPropertiesInterface, QStringLiteral("PropertiesChanged"), this,
                SLOT(onSessionPropertiesChanged(QString, QVariantMap, QStringList)));
    bus.connect(kLogind, path, kSessionInterface, QStringLiteral("Lock"), this, SLOT(onSessionLock()));
    m_sessionPath = path;
}

void LogindSystemEvents::subscribeToScreenSavers()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCInfo(lcLogind) << "no session bus; screen savers are not watched";
        return;
    }
    // By match rule: a screen saver that starts later is heard as well.
    for (const ScreenSaver& screenSaver : kScreenSavers) {
        bus.connect(screenSaver.service, screenSaver.path, screenSaver.service,
                    QStringLiteral("ActiveChanged"), this, SLOT(onScreenSaverActiveChanged(bool)));
    }
}
