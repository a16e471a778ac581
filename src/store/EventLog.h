#pragma once

#include "io/DocumentFile.h"
#include "model/LogEvent.h"

#include <QList>
#include <QObject>
#include <QStringList>

// The local activity log, newest first, mirrored to events.json after every record and clear.
// A stored log that cannot be read in full is moved aside before anything is written over it.
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

    // What load() could not take from events.json; empty when it was read whole or was missing.
    const QStringList& loadProblems() const { return m_setback.problems; }
    // The file name the unreadable events.json was kept under, beside it.
    const QString& unreadableCopy() const { return m_setback.unreadableCopy; }
    // Why the unreadable events.json could not be moved aside; then the log is never written.
    const QString& moveAsideError() const { return m_setback.moveAsideError; }

    // The compact JSON array of events.json.
    static QByteArray encode(const QList<LogEvent>& events);
    // Event by event: each one that decodes is kept, each one that does not is named in
    // `problems`. Nothing is kept from a document that is not a JSON array.
    static std::optional<QList<LogEvent>> decode(const QByteArray& bytes, QStringList* problems = nullptr);

signals:
    // After every change, once.
    void eventsChanged();
    // Just before eventsChanged for a record: one event is new at the top, and the `dropped`
    // oldest ones beyond the cap are gone from the bottom. Lists follow row by row.
    void recorded(qsizetype dropped);

private:
    static QByteArray encodeEvent(const LogEvent& event);

    QList<LogEvent> m_events;
    // The compact JSON of each event, index for index: events never change once recorded, so
    // a record encodes one event instead of all 500.
    QList<QByteArray> m_encoded;
    DocumentFile::Setback m_setback;
};
