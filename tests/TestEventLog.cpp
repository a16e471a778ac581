#include "TestDataHome.h"
#include "store/EventLog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QList<LogEvent> numberedEvents(int count)
{
    // Newest first: subject "count-1" at index 0 down to "0".
    QList<LogEvent> events;
    const QDateTime start = QDateTime::currentDateTimeUtc();
    for (int i = count - 1; i >= 0; --i)
        events.append({QUuid::createUuid(), start.addSecs(i), LogEventKind::appRelocked, QString::number(i),
                       "Lost focus"});
    return events;
}
} // namespace

class TestEventLog : public QObject
{
    Q_OBJECT

private slots:
    void recordKeepsNewestFirstAndCapsAt500()
    {
        TestDataHome home;
        EventLog log;
        QVERIFY(log.events().isEmpty());
        QVERIFY(!QFile::exists(home.file("events.json")));
        for (int i = 0; i < 500; ++i)
            log.record(LogEventKind::folderRelocked, QString::number(i), {});
        QCOMPARE(log.events().size(), 500);
        QCOMPARE(log.events().last().subject, QString("0"));

        QSignalSpy changed(&log, &EventLog::eventsChanged);
        log.record(LogEventKind::error, "500", "x");
        QCOMPARE(changed.count(), 2); // insert, then trim
        QCOMPARE(log.events().size(), 500);
        QCOMPARE(log.events().first().subject, QString("500"));
        QCOMPARE(log.events().last().subject, QString("1"));
        QCOMPARE(EventLog::decode(readAll(home.file("events.json"))), log.events());
    }

    void longFileLoadsWholeUntilTheNextRecord()
    {
        TestDataHome home;
        {
            EventLog touch;
        }
        const QList<LogEvent> stored = numberedEvents(600);
        writeFile(home.file("events.json"), EventLog::encode(stored));
        EventLog log;
        QCOMPARE(log.events(), stored);

        log.record(LogEventKind::systemRelock, "Folders relocked", "Screen locked");
        QCOMPARE(log.events().size(), 500);
        QCOMPARE(log.events().mid(1), stored.mid(0, 499));
    }

    void sameInstantKeepsRecordingOrder()
    {
        TestDataHome home;
        EventLog log;
        log.record(LogEventKind::appUnlocked, "first", {});
        log.record(LogEventKind::appRelocked, "second", {});
        QCOMPARE(log.events().at(0).subject, QString("second"));
        QCOMPARE(log.events().at(1).subject, QString("first"));
        EventLog reloaded;
        QCOMPARE(reloaded.events(), log.events());
    }

    void storedFormIsCompactWithEmptyDetail()
    {
        TestDataHome home;
        EventLog log;
        log.clear();
        QCOMPARE(readAll(home.file("events.json")), QByteArray("[]"));

        log.record(LogEventKind::folderUnlocked, "Work", "");
        const QByteArray text = readAll(home.file("events.json"));
        QVERIFY(!text.contains('\n') && !text.contains(": "));
        const QJsonObject stored = QJsonDocument::fromJson(text).array().at(0).toObject();
        QVERIFY(stored.contains("detail"));
        QCOMPARE(stored.value("detail").toString(), QString(""));
        QCOMPARE(stored.value("kind").toString(), QString("folderUnlocked"));
        QVERIFY(stored.value("date").isDouble());
    }

    void badHistoryIsDroppedAndReplacedByTheNextRecord_data()
    {
        QTest::addColumn<QByteArray>("document");
        QByteArray unknownKind = EventLog::encode(numberedEvents(3));
        unknownKind.replace("appRelocked", "appRelockedLater");
        const QByteArray valid = EventLog::encode(numberedEvents(3));
        QTest::newRow("unknown kind") << unknownKind;
        QTest::newRow("truncated") << valid.left(valid.size() - 7);
        QTest::newRow("object at top") << QByteArray("{}");
        QTest::newRow("element not an object") << QByteArray("[1]");
        QTest::newRow("missing detail") << QByteArray(valid).replace(",\"detail\":\"Lost focus\"", "");
    }

    void badHistoryIsDroppedAndReplacedByTheNextRecord()
    {
        QFETCH(QByteArray, document);
        TestDataHome home;
        {
            EventLog touch;
        }
        writeFile(home.file("events.json"), document);
        EventLog log;
        QVERIFY(log.events().isEmpty());
        QCOMPARE(readAll(home.file("events.json")), document);
        log.record(LogEventKind::error, "Folder lock failed", "Operation not permitted");
        const auto stored = EventLog::decode(readAll(home.file("events.json")));
        QVERIFY(stored);
        QCOMPARE(stored->size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestEventLog)
#include "TestEventLog.moc"
