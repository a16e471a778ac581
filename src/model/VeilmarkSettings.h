#pragma once

#include "AppearanceMode.h"

#include <QJsonObject>

#include <optional>

// The global options; one value lives in the policy store.
struct VeilmarkSettings
{
    bool relockAppsOnFocusLoss = true;
    bool relockOnSleepOrScreenLock = true;
    qint64 defaultFolderUnlockMinutes = 10;
    bool launchAtLogin = false;
    AppearanceMode appearance = AppearanceMode::system;

    QJsonObject toJson() const;
    static std::optional<VeilmarkSettings> fromJson(const QJsonValue& value);

    friend bool operator==(const VeilmarkSettings&, const VeilmarkSettings&) = default;
};
