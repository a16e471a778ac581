#pragma once

#include <QList>
#include <QString>

#include <optional>

// Colour scheme of Veilmark's windows; stored by its raw value.
enum class AppearanceMode
{
    system,
    light,
    dark,
};

QList<AppearanceMode> allAppearanceModes();
QString rawValue(AppearanceMode mode);
std::optional<AppearanceMode> appearanceModeFromRawValue(const QString& raw);
