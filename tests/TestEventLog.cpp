#include "TestDataHome.h"
#include "io/DocumentFile.h"
#include "store/EventLog.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

namespace {
// The whole of `text` matches `pattern`.
bool matches(const QString& pattern, const QString& text)
{
    return QRegularExpression("^(" + pattern + ")$").match(text).hasMatch();
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool plant(const QString& path, const QByteArray& bytes)
{
    return QDir().mkpath(QFileInfo(path).path()) &&
           !DocumentFile::write(path, bytes, DocumentFile::Durability::Cached);
}

ino_t inodeOf(const QString& path)
{
    struct stat st = {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
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

    // A stored log is taken as it is, even beyond the cap, and left alone until the next record.
    // One that cannot be read in full keeps every event that decodes and is moved aside first.
    void storedLogKeepsEveryEventThatDecodes_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QList<LogEvent>>("loaded");
        QTest::addColumn<QString>("problems"); // a pattern for the problems, one per line
        const QList<LogEvent> long600 = numberedEvents(600);
        const QList<LogEvent> three = numberedEvents(3);
        const QByteArray valid = EventLog::encode(three);
        QTest::newRow("600 events") << EventLog::encode(long600) << long600 << "";
        QTest::newRow("one unknown kind")
            << QByteArray(valid).replace(R"("kind":"appRelocked","subject":"1")",
                                         R"("kind":"appRelockedLater","subject":"1")")
            << QList<LogEvent>{three[0], three[2]} << R"(events\[1\] \(1\) cannot be read)";
        QTest::newRow("truncated") << valid.left(valid.size() - 7) << QList<LogEvent>()
                                   << "not JSON \\(.+\\)";
        QTest::newRow("object at top") << QByteArray("{}") << QList<LogEvent>() << "not a list of events";
    }

    void storedLogKeepsEveryEventThatDecodes()
    {
        QFETCH(QByteArray, document);
        QFETCH(QList<LogEvent>, loaded);
        QFETCH(QString, problems);
        TestDataHome home;
        const QString file = home.file("events.json");
        // The first is left by a write that was killed half-way; loading clears it, and only it.
        QVERIFY(plant(home.file(".veilmark-tmp-events.json.Ab3xZ9"), "[") && plant(file + ".backup", "["));
        QVERIFY(plant(file, document));
        const ino_t original = inodeOf(file);

        EventLog log;
        QCOMPARE(log.events(), loaded);
        QVERIFY2(matches(problems, log.loadProblems().join('\n')), qPrintable(log.loadProblems().join('\n')));
        QCOMPARE(QDir(home.dataDir()).entryList({"*.Ab3xZ9", "*.backup"}, QDir::Files | QDir::Hidden),
                 QStringList{"events.json.backup"});
        // Untouched, or moved aside under a new name.
        const QString copy = problems.isEmpty() ? "events.json" : log.unreadableCopy();
        QVERIFY2(problems.isEmpty() || matches(R"(events\.json\.unreadable-\d{8}T\d{6}Z)", copy),
                 qPrintable(copy));
        QCOMPARE(inodeOf(home.dataDir() + "/" + copy), original);

        log.record(LogEventKind::systemRelock, "Folders relocked", "Screen locked");
        QCOMPARE(log.events().size(), qMin(loaded.size() + 1, EventLog::cap));
        QCOMPARE(log.events().mid(1), loaded.mid(0, EventLog::cap - 1));
        QCOMPARE(EventLog::decode(readAll(file)), log.events());
    }

    // A log that cannot be read and cannot be moved aside is never written over.
    void unmovableLogIsNeverWritten()
    {
        TestDataHome home;
        const QString dir = home.dataDir();
        QVERIFY(plant(home.file("events.json"), "[1]"));
        QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY2(!QFile(dir + "/probe").open(QIODevice::WriteOnly),
                 "permission checks are bypassed: run through tests/unprivileged.sh");
        EventLog log;
        QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(log.moveAsideError(), "Permission denied");
        log.record(LogEventKind::error, "Policy not saved", "Permission denied");
        QCOMPARE(readAll(home.file("events.json")), "[1]");
    }
};

QTEST_GUILESS_MAIN(TestEventLog)
#include "TestEventLog.moc"
