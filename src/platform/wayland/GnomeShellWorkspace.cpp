#include "GnomeShellWorkspace.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QLoggingCategory>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcGnomeShell, "veilmark.wayland.gnome")

namespace {
const QString ShellService = QStringLiteral("org.gnome.Shell");
constexpr int CallTimeout = 5000;

// GNOME Shell's extension states, as GetExtensionInfo reports them.
enum ExtensionState
{
    Enabled = 1,
    Disabled = 2,
    Failed = 3,
    OutOfDate = 4,
    Initialized = 6, // loaded, never enabled
};

// A window as the extension lists it: (id, app_id, pid, focused, minimized).
struct ListedWindow
{
    quint64 id = 0;
    QString appId;
    quint32 pid = 0;
    bool focused = false;
    bool minimized = false;
};
const QString ListedSignature = QStringLiteral("(tsubb)");

const QDBusArgument& operator>>(const QDBusArgument& argument, ListedWindow& window)
{
    argument.beginStructure();
    argument >> window.id >> window.appId >> window.pid >> window.focused >> window.minimized;
    argument.endStructure();
    return argument;
}
} // namespace

GnomeShellWorkspace::GnomeShellWorkspace(const QDBusConnection& bus, QObject* parent)
    : ToplevelWorkspace(parent)
    , m_bus(bus)
{
    const Diagnosis diagnosis = diagnose(bus);
    m_reason = diagnosis.reason;
    m_canEnable = diagnosis.canEnable;
    if (!m_reason.isEmpty())
        return;
    const QDBusReply<uint> extensionPid = bus.interface()->servicePid(ServiceName);
    const QDBusReply<uint> shellPid = bus.interface()->servicePid(ShellService);
    if (!extensionPid.isValid() || !shellPid.isValid() || extensionPid.value() != shellPid.value()) {
        m_reason = tr("The bus name %1 of Veilmark's GNOME Shell extension is held by a process other than "
                      "GNOME Shell, so Veilmark does not trust what it reports.")
                       .arg(ServiceName);
        qCWarning(lcGnomeShell) << m_reason;
        return;
    }
    auto* watcher =
        new QDBusServiceWatcher(ServiceName, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &GnomeShellWorkspace::extensionGone);
    // Signals first: a window that comes or goes while the list is on its way is then not missed.
    if (!connectSignals()) {
        m_reason = tr("Veilmark cannot follow its GNOME Shell extension's signals: %1")
                       .arg(m_bus.lastError().message());
        qCWarning(lcGnomeShell) << m_reason;
        return;
    }
    const QDBusMessage reply = m_bus.call(
        QDBusMessage::createMethodCall(ServiceName, ObjectPath, Interface, QStringLiteral("ListWindows")),
        QDBus::Block, CallTimeout);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != "a" + ListedSignature) {
        m_reason = tr("Veilmark's GNOME Shell extension did not list the windows: %1")
                       .arg(reply.errorMessage().isEmpty() ? reply.signature() : reply.errorMessage());
        qCWarning(lcGnomeShell) << m_reason;
        return;
    }
    const QDBusArgument windows = reply.arguments().value(0).value<QDBusArgument>();
    windows.beginArray();
    while (!windows.atEnd()) {
        ListedWindow window;
        windows >> window;
        list(window.id, window.appId, window.pid, window.focused);
    }
    windows.endArray();
    adoptWindows();
}

bool GnomeShellWorkspace::connectSignals()
{
    return m_bus.connect(ServiceName, ObjectPath, Interface, QStringLiteral("WindowAdded"), this,
                         SLOT(windowListed(QDBusMessage))) &&
           m_bus.connect(ServiceName, ObjectPath, Interface, QStringLiteral("WindowChanged"), this,
                         SLOT(windowListed(QDBusMessage))) &&
           m_bus.connect(ServiceName, ObjectPath, Interface, QStringLiteral("WindowRemoved"), this,
                         SLOT(windowRemoved(quint64))) &&
           m_bus.connect(ServiceName, ObjectPath, Interface, QStringLiteral("WindowFocused"), this,
                         SLOT(windowFocused(quint64)));
}

bool GnomeShellWorkspace::isGnomeShell(const QDBusConnection& bus)
{
    return bus.isConnected() && bus.interface()->isServiceRegistered(ShellService);
}

QDBusMessage GnomeShellWorkspace::callShell(const QDBusConnection& bus, const QString& method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(ShellService, QStringLiteral("/org/gnome/Shell"),
                                                       QStringLiteral("org.gnome.Shell.Extensions"), method);
    call << ExtensionUuid;
    return bus.call(call, QDBus::Block, CallTimeout);
}

GnomeShellWorkspace::Diagnosis GnomeShellWorkspace::diagnose(const QDBusConnection& bus)
{
    if (!bus.isConnected())
        return {tr("There is no session bus, so Veilmark cannot reach GNOME Shell."), false};
    if (bus.interface()->isServiceRegistered(ServiceName))
        return {};
    const QDBusMessage reply = callShell(bus, QStringLiteral("GetExtensionInfo"));
    if (reply.type() != QDBusMessage::ReplyMessage)
        return {
            tr("GNOME Shell does not answer on the session bus (%1), so Veilmark cannot watch applications.")
                .arg(reply.errorMessage()),
            false};
    const QVariantMap info = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    if (info.isEmpty()) {
        // GNOME Shell looks for extensions when it starts: one installed since is unknown to it.
        if (installedOnDisk())
            return {
                tr("Veilmark's GNOME Shell extension is installed but GNOME Shell has not loaded it yet: log "
                   "out and back in, then turn on \"Veilmark\" in Extensions."),
                false};
        return {
            tr("Veilmark's GNOME Shell extension (%1) is not installed: reinstall Veilmark, log out and back "
               "in, then turn on \"Veilmark\" in Extensions.")
                .arg(ExtensionUuid),
            false};
    }
    switch (int(info.value(QStringLiteral("state")).toDouble())) {
    case Enabled:
        return {tr("Veilmark's GNOME Shell extension is turned on but not running yet: log out and back in."),
                false};
    case Failed:
        return {tr("Veilmark's GNOME Shell extension failed to start: %1")
                    .arg(info.value(QStringLiteral("error")).toString()),
                false};
    case OutOfDate:
        return {tr("Veilmark's GNOME Shell extension does not support this version of GNOME Shell."), false};
    case Disabled:
    case Initialized:
        return {
            tr("Veilmark's GNOME Shell extension is turned off: turn on \"Veilmark\" in Extensions (or run "
               "gnome-extensions enable %1).")
                .arg(ExtensionUuid),
            true};
    default: // being downloaded, uninstalled
        return {tr("Veilmark's GNOME Shell extension is not ready; log out and back in."), false};
    }
}

bool GnomeShellWorkspace::installedOnDisk()
{
    return !QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                   "gnome-shell/extensions/" + ExtensionUuid + "/metadata.json")
                .isEmpty();
}

QString GnomeShellWorkspace::remedy() const
{
    return m_canEnable && !isSupported() ? tr("Turn On GNOME Shell Extension") : QString();
}

// Turning it on does not start protection now: support is decided when Veilmark starts.
void GnomeShellWorkspace::applyRemedy()
{
    if (remedy().isEmpty())
        return;
    m_canEnable = false;
    const QDBusMessage reply = callShell(m_bus, QStringLiteral("EnableExtension"));
    if (reply.type() != QDBusMessage::ReplyMessage || !reply.arguments().value(0).toBool())
        m_reason =
            tr("Veilmark could not turn on its GNOME Shell extension: %1")
                .arg(reply.errorMessage().isEmpty() ? tr("GNOME Shell refused.") : reply.errorMessage());
    else
        m_reason = tr("Veilmark's GNOME Shell extension is turned on: quit and reopen Veilmark to protect "
                      "applications.");
    qCInfo(lcGnomeShell) << m_reason;
    emit supportChanged();
}

bool GnomeShellWorkspace::isSupported() const
{
    return m_reason.isEmpty();
}

QString GnomeShellWorkspace::unsupportedReason() const
{
    return m_reason;
}

void GnomeShellWorkspace::windowListed(const QDBusMessage& message)
{
    if (!m_reason.isEmpty())
        return;
    if (message.signature() != ListedSignature) {
        qCWarning(lcGnomeShell) << "GNOME Shell extension: ignored" << message.member() << "with arguments"
                                << message.signature();
        return;
    }
    ListedWindow window;
    message.arguments().value(0).value<QDBusArgument>() >> window;
    list(window.id, window.appId, window.pid, window.focused);
}

void GnomeShellWorkspace::list(quint64 id, const QString& appId, quint32 pid, bool focused)
{
    m_windows.insert(id, Facts{appId, pid});
    if (focused)
        m_focused = id;
    else if (m_focused == id)
        m_focused = 0;
    report(id);
}

void GnomeShellWorkspace::report(quint64 id)
{
    const auto facts = m_windows.constFind(id);
    if (facts != m_windows.cend())
        windowChanged(key(id), facts->appId, facts->pid, id == m_focused);
}

void GnomeShellWorkspace::windowRemoved(quint64 id)
{
    if (m_focused == id)
        m_focused = 0;
    if (m_windows.remove(id))
        windowClosed(key(id));
}

void GnomeShellWorkspace::windowFocused(quint64 id)
{
    const quint64 previous = m_focused;
    m_focused = id;
    if (previous != id)
        report(previous);
    report(id);
}

void GnomeShellWorkspace::extensionGone()
{
    if (!m_reason.isEmpty())
        return;
    const Diagnosis now = diagnose(m_bus);
    m_canEnable = now.canEnable;
    m_reason = tr("Veilmark's GNOME Shell extension stopped (it was turned off, or GNOME Shell restarted).");
    if (!now.reason.isEmpty())
        m_reason += ' ' + now.reason;
    qCWarning(lcGnomeShell) << m_reason;
    m_windows.clear();
    m_focused = 0;
    closeAll();
    emit supportChanged();
}

GnomeShellWorkspace::Window GnomeShellWorkspace::key(quint64 id)
{
    return reinterpret_cast<Window>(quintptr(id));
}

void GnomeShellWorkspace::call(const QString& method, Window window)
{
    if (!m_reason.isEmpty())
        return;
    QDBusMessage message = QDBusMessage::createMethodCall(ServiceName, ObjectPath, Interface, method);
    message << QVariant::fromValue(quint64(quintptr(window)));
    // Sent at once; the answer only matters when it is an error.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, CallTimeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [method](QDBusPendingCallWatcher* finished) {
        const QDBusPendingReply<bool> reply = *finished;
        if (reply.isError())
            qCWarning(lcGnomeShell) << "GNOME Shell extension:" << method
                                    << "failed:" << reply.error().message();
        else if (!reply.value())
            qCWarning(lcGnomeShell) << "GNOME Shell extension:" << method << "found no such window";
        finished->deleteLater();
    });
}

void GnomeShellWorkspace::minimize(Window window)
{
    call(QStringLiteral("MinimizeWindow"), window);
}

void GnomeShellWorkspace::unminimize(Window window)
{
    call(QStringLiteral("UnminimizeWindow"), window);
}

void GnomeShellWorkspace::activateWindow(Window window)
{
    call(QStringLiteral("ActivateWindow"), window);
}
