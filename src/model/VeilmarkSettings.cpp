#include "VeilmarkSettings.h"

#include "JsonFields.h"

QJsonObject VeilmarkSettings::toJson() const
{
    return {
        {QLatin1String("relockAppsOnFocusLoss"), relockAppsOnFocusLoss},
        {QLatin1String("relockOnSleepOrScreenLock"), relockOnSleepOrScreenLock},
        {QLatin1String("defaultFolderUnlockMinutes"), defaultFolderUnlockMinutes},
        {QLatin1String("launchAtLogin"), launchAtLogin},
        {QLatin1String("appearance"), rawValue(appearance)},
    };
}

std::optional<VeilmarkSettings> VeilmarkSettings::fromJson(const QJsonValue& value)
{
    JsonFields fields(value);
    VeilmarkSettings settings;
    settings.relockAppsOnFocusLoss = fields.boolean(QLatin1String("relockAppsOnFocusLoss"));
    settings.relockOnSleepOrScreenLock = fields.boolean(QLatin1String("relockOnSleepOrScreenLock"));
    settings.defaultFolderUnlockMinutes = fields.integer(QLatin1String("defaultFolderUnlockMinutes"));
    settings.launchAtLogin = fields.boolean(QLatin1String("launchAtLogin"));
    const std::optional<AppearanceMode> appearance =
        appearanceModeFromRawValue(fields.string(QLatin1String("appearance")));
    if (!fields.ok() || !appearance)
        return std::nullopt;
    settings.appearance = *appearance;
    return settings;
}
