#pragma once

#include "LogEventKind.h"

#include <QDateTime>
#include <QJsonObject>
#include <QUuid>

#include <optional>

// One entry of the activity log.
struct LogEvent
{
    QUuid id;
    QDateTime date;
    LogEventKind kind = LogEventKind::error;
    QString subject;
    QString detail;

    QJsonObject toJson() const;
    static std::optional<LogEvent> fromJson(const QJsonValue& value);

    friend bool operator==(const LogEvent&, const LogEvent&) = default;
};

size_t qHash(const LogEvent& event, size_t seed = 0);
