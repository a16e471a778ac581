#include "model/LogEvent.h"
#include "model/ProtectedApp.h"
#include "model/ProtectedFolder.h"
#include "model/VeilmarkSettings.h"

#include <QJsonDocument>
#include <QTest>

namespace {
// A valid stored record of each kind, with one member replaced (or removed, for Undefined).
QJsonObject stored(const QString& kind, const char* key = nullptr, const QJsonValue& value = {})
{
    static const QHash<QString, const char*> valid{
        {"settings", R"({"relockAppsOnFocusLoss":true,"relockOnSleepOrScreenLock":false,
                        "defaultFolderUnlockMinutes":15,"launchAtLogin":true,"appearance":"dark"})"},
        {"app", R"({"bundleID":"firefox-esr","name":"Firefox","appPath":"/opt/firefox.desktop",
                   "enabled":false,"relockOnFocusLoss":true})"},
        {"folder", R"({"id":"6F9619FF-8B86-D011-B42D-00CF4FC964FF","path":"/home/u/Work","name":"Work",
                      "enabled":true,"isLocked":false,"unlockMinutes":0})"},
        {"event", R"({"id":"6F9619FF-8B86-D011-B42D-00CF4FC964FF","date":0,"kind":"folderUnlocked",
                     "subject":"Work","detail":""})"}};
    QJsonObject o = QJsonDocument::fromJson(valid.value(kind)).object();
    if (key && value.isUndefined())
        o.remove(QLatin1String(key));
    else if (key)
        o[QLatin1String(key)] = value;
    return o;
}

// "rejected", or whether the decoded record encodes back to the "same" JSON or a "changed" one.
template <typename Record>
QString decode(const QJsonObject& json)
{
    const std::optional<Record> record = Record::fromJson(json);
    return !record ? "rejected" : record->toJson() == json ? "same" : "changed";
}
} // namespace

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    // Identifiers are stored upper-case without braces, dates as seconds since 2001-01-01 UTC;
    // every member must be there with its type, and nothing else is taken.
    void decoding_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QJsonObject>("json");
        QTest::addColumn<QString>("outcome");
        for (const char* kind : {"settings", "app", "folder", "event"})
            QTest::addRow("valid %s", kind) << kind << stored(kind) << "same";
        QTest::newRow("unknown member ignored")
            << "settings" << stored("settings", "theme", "neon") << "changed";
        QTest::newRow("capitalised appearance")
            << "settings" << stored("settings", "appearance", "Dark") << "rejected";
        QTest::newRow("bool as number") << "settings" << stored("settings", "launchAtLogin", 1) << "rejected";
        for (const QJsonValue& minutes : {QJsonValue(1.5), QJsonValue(1e30), QJsonValue("10")})
            QTest::addRow("minutes %s", qPrintable(minutes.toVariant().toString()))
                << "settings" << stored("settings", "defaultFolderUnlockMinutes", minutes) << "rejected";
        for (const char* key : {"bundleID", "name", "appPath", "enabled", "relockOnFocusLoss"})
            QTest::addRow("app without %s", key)
                << "app" << stored("app", key, QJsonValue::Undefined) << "rejected";
        QTest::newRow("quoted name") << "folder" << stored("folder", "name", "Tax “2024”") << "same";
        QTest::newRow("negative minutes") << "folder" << stored("folder", "unlockMinutes", -5) << "same";
        QTest::newRow("missing isLocked")
            << "folder" << stored("folder", "isLocked", QJsonValue::Undefined) << "rejected";
        QTest::newRow("lower-case uuid")
            << "folder" << stored("folder", "id", "6f9619ff-8b86-d011-b42d-00cf4fc964ff") << "changed";
        for (const char* bad :
             {"{6F9619FF-8B86-D011-B42D-00CF4FC964FF}", "6F9619FF8B86D011B42D00CF4FC964FF",
              "6F9619FF-8B86-D011-B42D-00CF4FC964FG", "6F9619FF-8B86-D011-B42D-00CF4FC964F"})
            QTest::addRow("uuid %s", bad) << "folder" << stored("folder", "id", bad) << "rejected";
        QTest::newRow("unknown event kind")
            << "event" << stored("event", "kind", "appUnlockedd") << "rejected";
        QTest::newRow("date with milliseconds") << "event" << stored("event", "date", -86400.5) << "same";
        QTest::newRow("huge date") << "event" << stored("event", "date", 1e300) << "rejected";
        QTest::newRow("date as string") << "event" << stored("event", "date", "0") << "rejected";
    }

    void decoding()
    {
        QFETCH(QString, kind);
        QFETCH(QJsonObject, json);
        QFETCH(QString, outcome);
        QCOMPARE(kind == "settings" ? decode<VeilmarkSettings>(json)
                 : kind == "app"    ? decode<ProtectedApp>(json)
                 : kind == "folder" ? decode<ProtectedFolder>(json)
                                    : decode<LogEvent>(json),
                 outcome);
        if (kind == "event" && outcome == "same")
            QCOMPARE(LogEvent::fromJson(json)->date, QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC)
                                                         .addMSecs(qint64(json["date"].toDouble() * 1000)));
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "TestRecords.moc"
