#pragma once

#include "app/Appearance.h"

#include <QDBusVariant>

// The colour-scheme preference as the XDG desktop portal reports it (org.freedesktop.appearance
// color-scheme), followed from the first question on.
class DesktopAppearance : public Appearance
{
    Q_OBJECT

public:
    explicit DesktopAppearance(QObject* parent = nullptr);

    bool desktopPrefersDark() override;

private slots:
    void onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    bool m_subscribed = false;
    bool m_dark = false;
};
