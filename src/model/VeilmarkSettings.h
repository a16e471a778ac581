#pragma once

#include "AppearanceMode.h"

#include <QJsonObject>

#include <optional>

// The global options; one value lives in the policy store.
struct VeilmarkSettings
{
    Q_GADGET
    Q_PROPERTY(bool relockAppsOnFocusLoss MEMBER relockAppsOnFocusLoss)
    Q_PROPERTY(bool relockOnSleepOrScreenLock MEMBER relockOnSleepOrScreenLock)
    Q_PROPERTY(qint64 defaultFolderUnlockMinutes MEMBER defaultFolderUnlockMinutes)
    Q_PROPERTY(bool launchAtLogin MEMBER launchAtLogin)

public:
    bool relockAppsOnFocusLoss = true;
    bool relockOnSleepOrScreenLock = true;
    qint64 defaultFolderUnlockMinutes = 10;
    bool launchAtLogin = false;
    AppearanceMode appearance = AppearanceMode::system;

    QJsonObject toJson() const;
    static std::optional<VeilmarkSettings> fromJson(const QJsonValue& value);

    friend bool operator==(const VeilmarkSettings&, const VeilmarkSettings&) = default;
};
