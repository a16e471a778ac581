#pragma once

#include <QString>

#include <optional>

// What an activity-log entry records; the raw value is the case name.
enum class LogEventKind
{
    appUnlocked,
    appRelocked,
    appAuthFailed,
    folderUnlocked,
    folderRelocked,
    folderAuthFailed,
    systemRelock,
    error,
    // Protection was weakened or strengthened by hand, or such a change was refused.
    protectionChanged,
};

QString rawValue(LogEventKind kind);
std::optional<LogEventKind> logEventKindFromRawValue(const QString& raw);
