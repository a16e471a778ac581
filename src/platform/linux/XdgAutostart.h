#pragma once

#include "app/LoginItems.h"

// Login items as XDG autostart entries: $XDG_CONFIG_HOME/autostart/<app id>.desktop. The file is
// the truth: registered means it exists and neither hides nor disables itself.
class XdgAutostart : public LoginItems
{
public:
    XdgAutostart(const QString& appId, const QString& executable);

    QString filePath() const;
    bool isRegistered() const override;
    std::optional<QString> registerItem() override;
    std::optional<QString> unregisterItem() override;

private:
    QString m_appId;
    QString m_executable;
};
