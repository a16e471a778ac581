#include "GnomeShellShieldKeeper.h"

#include "platform/wayland/GnomeShellWorkspace.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QLoggingCategory>

// The GNOME Shell backend's, defined with the workspace.
Q_DECLARE_LOGGING_CATEGORY(lcGnomeShell)

GnomeShellShieldKeeper::GnomeShellShieldKeeper(const QDBusConnection& bus)
    : m_bus(bus)
{}

void GnomeShellShieldKeeper::keep(const QString& focusTitle)
{
    // Asked again on every focus change of Veilmark's own; the Shell needs it only when it differs.
    if (m_on && focusTitle == m_kept)
        return;
    setShield(true, focusTitle);
}

void GnomeShellShieldKeeper::release()
{
    if (m_on)
        setShield(false, {});
}

void GnomeShellShieldKeeper::setShield(bool on, const QString& focusTitle)
{
    m_on = on;
    m_kept = on ? focusTitle : QString();
    QDBusMessage call =
        QDBusMessage::createMethodCall(GnomeShellWorkspace::ServiceName, GnomeShellWorkspace::ObjectPath,
                                       GnomeShellWorkspace::Interface, QStringLiteral("SetShield"));
    call << on << focusTitle;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [on](QDBusPendingCallWatcher* done) {
                         const QDBusPendingReply<> reply = *done;
                         if (reply.isError())
                             qCWarning(lcGnomeShell) << "GNOME Shell did not" << (on ? "hold" : "release")
                                                     << "the shield:" << reply.error().message();
                         done->deleteLater();
                     });
}
