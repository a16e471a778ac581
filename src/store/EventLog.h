#pragma once

#include "model/LogEvent.h"

#include <QList>
#include <QObject>

// The local activity log, newest first, mirrored to events.json after every record and clear.
class EventLog : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 cap = 500;

    explicit EventLog(QObject* parent = nullptr);

    const QList<LogEvent>& events() const { return m_events; }
    QString filePath() const;

    void load();
    void record(LogEventKind kind, const QString& subject, const QString& detail);
    void clear();
    void save();

    // The compact JSON array of events.json.
    static QByteArray encode(const QList<LogEvent>& events);
    static std::optional<QList<LogEvent>> decode(const QByteArray& bytes);

signals:
    void eventsChanged();

private:
    static QByteArray encodeEvent(const LogEvent& event);

    QList<LogEvent> m_events;
    // The compact JSON of each event, index for index: events never change once recorded, so
    // a record encodes one event instead of all 500.
    QList<QByteArray> m_encoded;
};
