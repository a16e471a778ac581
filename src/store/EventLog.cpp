#include "EventLog.h"

#include "DataDirectory.h"
#include "DocumentFile.h"
#include "model/JsonFields.h"

#include <QJsonDocument>

EventLog::EventLog(QObject* parent)
    : QObject(parent)
{
    load();
}

QString EventLog::filePath() const
{
    return DataDirectory::filePath(QStringLiteral("events.json"));
}

void EventLog::load()
{
    const QString path = filePath();
    DocumentFile::removeLeftovers(path);
    const std::optional<QByteArray> bytes = DocumentFile::read(path);
    if (!bytes)
        return;
    std::optional<QList<LogEvent>> events = decode(*bytes);
    if (!events)
        return;
    // Taken as stored: a long file is trimmed by the next record, not here.
    m_events = std::move(*events);
    emit eventsChanged();
}

void EventLog::record(LogEventKind kind, const QString& subject, const QString& detail)
{
    m_events.prepend(LogEvent{QUuid::createUuid(), QDateTime::currentDateTimeUtc(), kind, subject, detail});
    emit eventsChanged();
    if (m_events.size() > cap) {
        m_events.resize(cap);
        emit eventsChanged();
    }
    save();
}

void EventLog::clear()
{
    m_events.clear();
    emit eventsChanged();
    save();
}

void EventLog::save()
{
    DocumentFile::write(filePath(), encode(m_events));
}

QByteArray EventLog::encode(const QList<LogEvent>& events)
{
    return QJsonDocument(JsonFields::encodeArray(events)).toJson(QJsonDocument::Compact);
}

std::optional<QList<LogEvent>> EventLog::decode(const QByteArray& bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    return JsonFields::decodeArray<LogEvent>(document.array());
}
