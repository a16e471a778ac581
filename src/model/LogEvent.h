#pragma once

#include "LogEventKind.h"

#include <QDateTime>
#include <QJsonObject>
#include <QUuid>

#include <optional>

// One entry of the activity log.
struct LogEvent
{
    Q_GADGET
    Q_PROPERTY(QUuid id MEMBER id)
    Q_PROPERTY(QDateTime date MEMBER date)
    Q_PROPERTY(QString subject MEMBER subject)
    Q_PROPERTY(QString detail MEMBER detail)

public:
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
