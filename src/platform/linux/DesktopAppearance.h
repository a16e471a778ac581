#pragma once

#include "platform/Appearance.h"

#include <QDBusVariant>
#include <QObject>

// Applies the colour scheme through the application palette, which every Veilmark window (the
// shield included) draws with. `system` follows the desktop's colour-scheme preference as the
// XDG desktop portal reports it, light when it reports none.
class DesktopAppearance : public QObject, public Appearance
{
    Q_OBJECT

public:
    explicit DesktopAppearance(QObject* parent = nullptr);

    void apply(AppearanceMode mode) override;
    bool isDark() const { return m_dark; }

    // 1 = prefer dark, 2 = prefer light, 0 or nothing = no preference.
    static bool portalPrefersDark();

private slots:
    void onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void setDark(bool dark);

    AppearanceMode m_mode = AppearanceMode::system;
    bool m_dark = false;
    bool m_subscribed = false;
};
