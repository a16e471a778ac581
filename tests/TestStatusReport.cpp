#include "app/StatusReport.h"

#include <QTest>

// The report's two forms: JSON, which travels over the bus and is what scripts read, and the table.
class TestStatusReport : public QObject
{
    Q_OBJECT

    static StatusReport sample()
    {
        StatusReport report;
        report.running = true;
        report.entries = {
            {"app", "vmedit", "Edit", "/apps/vmedit.desktop", true, "unlocked", "Unlocked", {}},
            {"app", "vmoff", "Off app", "/apps/vmoff.desktop", false, "off", "Off", {}},
            {"folder", "0b3c", "Tax returns", "/home/ada/Tax returns", true, "unlocked", "Unlocked",
             QDateTime(QDate(2026, 12, 6), QTime(14, 5), Qt::UTC)},
            {"folder",
             "9f1e",
             "Gone",
             "/home/ada/Gone",
             true,
             "missing",
             "Missing — nothing is at /home/ada/Gone",
             {}},
        };
        return report;
    }

private slots:
    void jsonKeepsEverything()
    {
        const StatusReport report = sample();
        QCOMPARE(StatusReport::fromJson(report.toJson()), report);
    }

    void jsonRejectsWhatIsNoReport_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("array") << QByteArray("[]");
        QTest::newRow("no lists") << QByteArray("{\"running\": true}");
        QTest::newRow("apps not a list") << QByteArray("{\"apps\": 1, \"folders\": []}");
    }

    void jsonRejectsWhatIsNoReport()
    {
        QFETCH(QByteArray, json);
        QCOMPARE(StatusReport::fromJson(json), std::nullopt);
    }

    // Columns line up whatever the lengths; the session's end is shown in local time.
    void tableAlignsColumns()
    {
        const QStringList lines = sample().toTable().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        const qsizetype state = lines[0].indexOf("STATE"), ends = lines[0].indexOf("SESSION ENDS");
        QCOMPARE(lines[3].indexOf("Unlocked"), state);
        const QString time = QLocale().toString(
            QDateTime(QDate(2026, 12, 6), QTime(14, 5), Qt::UTC).toLocalTime().time(), QLocale::ShortFormat);
        QCOMPARE(lines[3].indexOf(time), ends);
        QVERIFY(lines[4].startsWith("folder  Gone "));
        QVERIFY(lines[4].endsWith("/home/ada/Gone"));

        StatusReport stored;
        QCOMPARE(stored.toTable(),
                 "Veilmark is not running: folders probed on disk, from the stored policy.\n"
                 "Nothing is protected.\n");
    }
};

QTEST_GUILESS_MAIN(TestStatusReport)
#include "TestStatusReport.moc"
