#include "LogEvent.h"

#include "JsonFields.h"

#include <QHashFunctions>

QJsonObject LogEvent::toJson() const
{
    return {
        {QLatin1String("id"), JsonFields::uuidText(id)},
        {QLatin1String("date"), JsonFields::referenceSeconds(date)},
        {QLatin1String("kind"), rawValue(kind)},
        {QLatin1String("subject"), subject},
        {QLatin1String("detail"), detail},
    };
}

std::optional<LogEvent> LogEvent::fromJson(const QJsonValue& value)
{
    JsonFields fields(value);
    LogEvent event;
    event.id = fields.uuid(QLatin1String("id"));
    event.date = fields.date(QLatin1String("date"));
    const std::optional<LogEventKind> kind = logEventKindFromRawValue(fields.string(QLatin1String("kind")));
    event.subject = fields.string(QLatin1String("subject"));
    event.detail = fields.string(QLatin1String("detail"));
    if (!fields.ok() || !kind)
        return std::nullopt;
    event.kind = *kind;
    return event;
}

size_t qHash(const LogEvent& event, size_t seed)
{
    return qHashMulti(seed, event.id, event.date, static_cast<int>(event.kind), event.subject, event.detail);
}
