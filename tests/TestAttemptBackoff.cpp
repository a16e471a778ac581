#include "auth/AttemptBackoff.h"
#include "fakes/FakeClock.h"
#include "model/JsonFields.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The wait after failed attempts in a row, and its document, which outlives the process.
class TestAttemptBackoff : public QObject
{
    Q_OBJECT

    static QByteArray document(qint64 failures, const QDateTime& lastFailure)
    {
        return QStringLiteral(R"({"failures":%1,"lastFailure":%2})")
            .arg(failures)
            .arg(JsonFields::referenceSeconds(lastFailure), 0, 'f', 3)
            .toUtf8();
    }

private slots:
    // Five free attempts, then 30 s doubling up to 15 min; what the prompt says for each wait.
    void steps_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<QString>("text");
        QTest::newRow("4") << 4 << "";
        QTest::newRow("5") << 5 << "Try again in 30 seconds";
        QTest::newRow("6") << 6 << "Try again in 60 seconds";
        QTest::newRow("7") << 7 << "Try again in 2 minutes";
        QTest::newRow("9") << 9 << "Try again in 8 minutes";
        QTest::newRow("10") << 10 << "Try again in 15 minutes";
        QTest::newRow("100") << 100 << "Try again in 15 minutes";
    }

    void steps()
    {
        QFETCH(int, failures);
        QFETCH(QString, text);
        QTemporaryDir dir;
        FakeClock clock;
        AttemptBackoff backoff(clock, dir.filePath("attempts.json"));
        for (int i = 0; i < failures; ++i)
            backoff.recordFailure();
        const qint64 wait = backoff.secondsRemaining();
        QCOMPARE(wait == 0 ? QString() : AttemptBackoff::waitText(wait), text);
        QCOMPARE(wait, AttemptBackoff::delayAfter(failures));
        clock.advance(wait - 1);
        QCOMPARE(backoff.secondsRemaining(), std::min<qint64>(wait, 1));
        QCOMPARE(AttemptBackoff::waitText(1), "Try again in 1 second");
        clock.advance(1);
        QCOMPARE(backoff.secondsRemaining(), 0);
        // The count goes on after the wait; only a success resets it.
        QCOMPARE(backoff.failures(), failures);
        backoff.recordSuccess();
        backoff.recordFailure();
        QCOMPARE(backoff.secondsRemaining(), 0);
    }

    // What a restart finds in the document. Anything that is not a document of ours waits the
    // longest step from now (and says so from then on); a stored moment in the future waits no
    // longer than its step.
    void storedState_data()
    {
        const QDateTime now = FakeClock().now();
        QTest::addColumn<QByteArray>("stored"); // "missing", "directory", or the bytes
        QTest::addColumn<qint64>("wait");
        QTest::newRow("missing") << QByteArray("missing") << qint64(0);
        QTest::newRow("six, 10 s ago") << document(6, now.addSecs(-10)) << qint64(50);
        QTest::newRow("four, just now") << document(4, now) << qint64(0);
        QTest::newRow("six, tomorrow") << document(6, now.addDays(1)) << qint64(60);
        QTest::newRow("not JSON") << QByteArray("{\"failures\":") << qint64(900);
        QTest::newRow("negative") << document(-1, now) << qint64(900);
        QTest::newRow("huge") << document(qint64(1) << 40, now) << qint64(900);
        QTest::newRow("fraction") << QByteArray(R"({"failures":5.5,"lastFailure":0})") << qint64(900);
        QTest::newRow("no date") << QByteArray(R"({"failures":5})") << qint64(900);
        QTest::newRow("array") << QByteArray("[]") << qint64(900);
        QTest::newRow("directory") << QByteArray("directory") << qint64(900);
    }

    void storedState()
    {
        QFETCH(QByteArray, stored);
        QFETCH(qint64, wait);
        QTemporaryDir dir;
        const QString path = dir.filePath("attempts.json");
        if (stored == "directory") {
            QVERIFY(QDir().mkpath(path));
        } else if (stored != "missing") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(stored) == stored.size());
        }
        FakeClock clock;
        {
            AttemptBackoff backoff(clock, path);
            QCOMPARE(backoff.secondsRemaining(), wait);
        }
        // A restart a minute later: unreadable documents were replaced by the wait they caused, and a
        // wait from a moment still in the future starts again from the restart.
        clock.advance(60);
        AttemptBackoff again(clock, path);
        const bool unchanged =
            stored == "directory" || QByteArray(QTest::currentDataTag()).endsWith("tomorrow");
        QCOMPARE(again.secondsRemaining(), unchanged ? wait : std::max<qint64>(0, wait - 60));
    }

    // Failures and the reset after a success both survive a restart.
    void survivesRestart()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("attempts.json");
        FakeClock clock;
        {
            AttemptBackoff backoff(clock, path);
            for (int i = 0; i < 6; ++i)
                backoff.recordFailure();
        }
        AttemptBackoff restarted(clock, path);
        QCOMPARE(restarted.secondsRemaining(), 60);
        QCOMPARE(restarted.failures(), 6);
        restarted.recordSuccess();
        QCOMPARE(AttemptBackoff(clock, path).failures(), 0);
    }
};

QTEST_GUILESS_MAIN(TestAttemptBackoff)
#include "TestAttemptBackoff.moc"
