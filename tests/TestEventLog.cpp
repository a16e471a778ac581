#include "TestDataHome.h"
#include "io/DocumentFile.h"
#include "store/EventLog.h"

#include <QDir>
#include <QTest>

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Newest first: subject "count-1" at index 0 down to "0".
QList<LogEvent> numberedEvents(int count)
{
    QList<LogEvent> events;
    for (int i = count - 1; i >= 0; --i)
        events.append({QUuid::createUuid(), QDateTime::currentDateTimeUtc().addSecs(i),
                       LogEventKind::appRelocked, QString::number(i), "Lost focus"});
    return events;
}
} // namespace

class TestEventLog : public QObject
{
    Q_OBJECT

private slots:
    void recordsNewestFirstIntoACompactFileCappedAt500()
    {
        TestDataHome home;
        EventLog log;
        QVERIFY(log.events().isEmpty() && !QFile::exists(home.file("events.json")));
        log.clear();
        QCOMPARE(readAll(home.file("events.json")), QByteArray("[]"));
        // Recorded within the same millisecond, events still keep their recording order.
        for (int i = 0; i <= 500; ++i)
            log.record(LogEventKind::folderRelocked, QString::number(i), {});
        QCOMPARE(log.events().size(), 500);
        for (int i = 0; i < 500; ++i)
            QCOMPARE(log.events().at(i).subject, QString::number(500 - i));
        const QByteArray text = readAll(home.file("events.json"));
        QVERIFY(!text.contains('\n') && !text.contains(": "));
        QCOMPARE(EventLog().events(), log.events());
    }

    // A stored file is taken whole, even beyond the cap, or not at all; only the next record
    // trims it or replaces it.
    void storedFileLoadsWholeOrNotAtAll_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QList<LogEvent>>("loaded");
        const QList<LogEvent> long600 = numberedEvents(600);
        const QByteArray valid = EventLog::encode(numberedEvents(3));
        QTest::newRow("600 events") << EventLog::encode(long600) << long600;
        QTest::newRow("unknown kind")
            << QByteArray(valid).replace("appRelocked", "appRelockedLater") << QList<LogEvent>();
        QTest::newRow("missing detail")
            << QByteArray(valid).replace(",\"detail\":\"Lost focus\"", "") << QList<LogEvent>();
        QTest::newRow("truncated") << valid.left(valid.size() - 7) << QList<LogEvent>();
        QTest::newRow("object at top") << QByteArray("{}") << QList<LogEvent>();
        QTest::newRow("element not an object") << QByteArray("[1]") << QList<LogEvent>();
    }

    void storedFileLoadsWholeOrNotAtAll()
    {
        QFETCH(QByteArray, document);
        QFETCH(QList<LogEvent>, loaded);
        TestDataHome home;
        QVERIFY(QDir().mkpath(home.dataDir()));
        // The second is left by a write that was killed half-way; loading clears it.
        for (const char* name : {"events.json", "events.json.Ab3xZ9"})
            QVERIFY(!DocumentFile::write(home.file(name), document, DocumentFile::Durability::Cached));
        EventLog log;
        QCOMPARE(log.events(), loaded);
        QCOMPARE(readAll(home.file("events.json")), document);
        QVERIFY(!QFile::exists(home.file("events.json.Ab3xZ9")));

        log.record(LogEventKind::systemRelock, "Folders relocked", "Screen locked");
        QCOMPARE(log.events().size(), qMin(loaded.size() + 1, EventLog::cap));
        QCOMPARE(log.events().mid(1), loaded.mid(0, EventLog::cap - 1));
        QCOMPARE(EventLog::decode(readAll(home.file("events.json"))), log.events());
    }
};

QTEST_GUILESS_MAIN(TestEventLog)
#include "TestEventLog.moc"
