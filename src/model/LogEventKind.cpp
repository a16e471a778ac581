#include "LogEventKind.h"

#include <array>

namespace {
constexpr std::array<const char*, 9> RawValues = {
    "appUnlocked",      "appRelocked",  "appAuthFailed", "folderUnlocked",    "folderRelocked",
    "folderAuthFailed", "systemRelock", "error",         "protectionChanged",
};
}

QString rawValue(LogEventKind kind)
{
    return QString::fromLatin1(RawValues.at(static_cast<size_t>(kind)));
}

std::optional<LogEventKind> logEventKindFromRawValue(const QString& raw)
{
    for (size_t i = 0; i < RawValues.size(); ++i) {
        if (raw == QLatin1String(RawValues[i]))
            return static_cast<LogEventKind>(i);
    }
    return std::nullopt;
}
