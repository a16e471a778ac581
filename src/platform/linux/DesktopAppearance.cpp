#include "platform/linux/DesktopAppearance.h"

#include "platform/linux/LinuxLogging.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace {
const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString SettingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString AppearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString ColorSchemeKey = QStringLiteral("color-scheme");

// The portal wraps the value in one or two variants depending on its version.
// 1 = prefer dark, 2 = prefer light, 0 or nothing = no preference.
bool meansDark(QVariant value)
{
    while (value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value.toUInt() == 1;
}
} // namespace

DesktopAppearance::DesktopAppearance(QObject* parent)
    : Appearance(parent)
{}

bool DesktopAppearance::desktopPrefersDark()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    // Once subscribed, the change signal keeps the answer current: no second blocking call.
    if (m_subscribed)
        return m_dark;
    m_subscribed = bus.connect(PortalService, PortalPath, SettingsInterface, QStringLiteral("SettingChanged"),
                               this, SLOT(onSettingChanged(QString, QString, QDBusVariant)));
    QDBusMessage call =
        QDBusMessage::createMethodCall(PortalService, PortalPath, SettingsInterface, QStringLiteral("Read"));
    call << AppearanceGroup << ColorSchemeKey;
    const QDBusMessage reply = bus.call(call, QDBus::Block, 500);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qCDebug(lcDesktop) << "no colour-scheme preference from the portal:" << reply.errorMessage();
        m_dark = false;
    } else {
        m_dark = meansDark(reply.arguments().constFirst());
    }
    return m_dark;
}

void DesktopAppearance::onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value)
{
    if (group != AppearanceGroup || key != ColorSchemeKey)
        return;
    const bool dark = meansDark(value.variant());
    if (dark == m_dark)
        return;
    m_dark = dark;
    emit desktopPreferenceChanged();
}
