#include "AppearanceMode.h"

QList<AppearanceMode> allAppearanceModes()
{
    return {AppearanceMode::system, AppearanceMode::light, AppearanceMode::dark};
}

QString rawValue(AppearanceMode mode)
{
    switch (mode) {
    case AppearanceMode::system:
        return QStringLiteral("system");
    case AppearanceMode::light:
        return QStringLiteral("light");
    case AppearanceMode::dark:
        return QStringLiteral("dark");
    }
    return {};
}

std::optional<AppearanceMode> appearanceModeFromRawValue(const QString& raw)
{
    for (AppearanceMode mode : allAppearanceModes()) {
        if (rawValue(mode) == raw)
            return mode;
    }
    return std::nullopt;
}
