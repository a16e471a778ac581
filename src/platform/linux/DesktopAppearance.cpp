#include "DesktopAppearance.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QPalette>

namespace {
const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString SettingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString AppearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString ColorSchemeKey = QStringLiteral("color-scheme");

// The portal wraps the value in one or two variants depending on its version.
uint unwrap(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value.toUInt();
}

QPalette schemePalette(bool dark)
{
    if (!dark)
        return QPalette(QColor(0xec, 0xec, 0xee), QColor(0xf6, 0xf6, 0xf8));
    QPalette palette(QColor(0x3a, 0x3a, 0x3e), QColor(0x1e, 0x1e, 0x20));
    palette.setColor(QPalette::WindowText, QColor(0xf2, 0xf2, 0xf7));
    palette.setColor(QPalette::Text, QColor(0xf2, 0xf2, 0xf7));
    palette.setColor(QPalette::ButtonText, QColor(0xf2, 0xf2, 0xf7));
    palette.setColor(QPalette::Base, QColor(0x2c, 0x2c, 0x2e));
    palette.setColor(QPalette::PlaceholderText, QColor(0x8e, 0x8e, 0x93));
    return palette;
}
} // namespace

DesktopAppearance::DesktopAppearance(QObject* parent)
    : QObject(parent)
{}

bool DesktopAppearance::portalPrefersDark()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(PortalService, PortalPath, SettingsInterface, QStringLiteral("Read"));
    call << AppearanceGroup << ColorSchemeKey;
    const QDBusMessage reply = bus.call(call, QDBus::Block, 500);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return unwrap(reply.arguments().constFirst()) == 1;
}

void DesktopAppearance::apply(AppearanceMode mode)
{
    m_mode = mode;
    if (mode == AppearanceMode::system && !m_subscribed) {
        m_subscribed = QDBusConnection::sessionBus().connect(
            PortalService, PortalPath, SettingsInterface, QStringLiteral("SettingChanged"), this,
            SLOT(onSettingChanged(QString, QString, QDBusVariant)));
    }
    switch (mode) {
    case AppearanceMode::system:
        setDark(portalPrefersDark());
        break;
    case AppearanceMode::light:
        setDark(false);
        break;
    case AppearanceMode::dark:
        setDark(true);
        break;
    }
}

void DesktopAppearance::onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value)
{
    if (m_mode == AppearanceMode::system && group == AppearanceGroup && key == ColorSchemeKey)
        setDark(unwrap(value.variant()) == 1);
}

void DesktopAppearance::setDark(bool dark)
{
    m_dark = dark;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::setPalette(schemePalette(dark));
}
