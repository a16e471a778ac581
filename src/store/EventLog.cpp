#include "EventLog.h"

#include "io/DataDirectory.h"
#include "io/DocumentFile.h"
#include "io/Logging.h"
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
    const DocumentFile::ReadResult file = DocumentFile::read(path);
    if (file.status == DocumentFile::ReadResult::Status::missing)
        return;
    QStringList problems;
    std::optional<QList<LogEvent>> events;
    if (file.status == DocumentFile::ReadResult::Status::unreadable)
        problems.append(file.error);
    else
        events = decode(file.bytes, &problems);
    if (events) {
        // Taken as stored: a long file is trimmed by the next record, not here.
        m_events = std::move(*events);
        m_encoded.clear();
        for (const LogEvent& event : std::as_const(m_events))
            m_encoded.append(encodeEvent(event));
        emit eventsChanged();
    }
    if (problems.isEmpty())
        return;
    m_setback = DocumentFile::setAside(path, problems);
    save();
}

void EventLog::record(LogEventKind kind, const QString& subject, const QString& detail)
{
    m_events.prepend(LogEvent{QUuid::createUuid(), QDateTime::currentDateTimeUtc(), kind, subject, detail});
    m_encoded.prepend(encodeEvent(m_events.constFirst()));
    const qsizetype dropped = qMax<qsizetype>(0, m_events.size() - cap);
    if (dropped > 0) {
        m_events.resize(cap);
        m_encoded.resize(cap);
    }
    emit recorded(dropped);
    emit eventsChanged();
    save();
}

void EventLog::clear()
{
    m_events.clear();
    m_encoded.clear();
    emit eventsChanged();
    save();
}

void EventLog::save()
{
    // Never over a stored log that could not be read and could not be moved aside.
    if (!m_setback.moveAsideError.isEmpty())
        return;
    // The log is rewritten on every event; a power cut may cost the latest ones, a crash never.
    if (const std::optional<QString> error = DocumentFile::write(filePath(), '[' + m_encoded.join(',') + ']',
                                                                 DocumentFile::Durability::Cached))
        qCWarning(lcStore) << "cannot save the activity log:" << *error;
}

QByteArray EventLog::encodeEvent(const LogEvent& event)
{
    return QJsonDocument(event.toJson()).toJson(QJsonDocument::Compact);
}

QByteArray EventLog::encode(const QList<LogEvent>& events)
{
    QList<QByteArray> encoded;
    encoded.reserve(events.size());
    for (const LogEvent& event : events)
        encoded.append(encodeEvent(event));
    return '[' + encoded.join(',') + ']';
}

std::optional<QList<LogEvent>> EventLog::decode(const QByteArray& bytes, QStringList* problems)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        if (problems)
            problems->append(error.error != QJsonParseError::NoError ? JsonFields::parseProblem(error)
                                                                     : tr("not a list of events"));
        return std::nullopt;
    }
    return JsonFields::decodeEach<LogEvent>(document.array(), QLatin1String("events"),
                                            QLatin1String("subject"), problems);
}
