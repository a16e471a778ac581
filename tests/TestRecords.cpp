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
} // namespace

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    void recordsRoundTripInTheirStoredForm()
    {
        const ProtectedApp app{"firefox-esr", "Firefox", "/usr/share/applications/firefox-esr.desktop",
                               false};
        QCOMPARE(ProtectedApp::fromJson(app.toJson()), app);
        const ProtectedFolder folder{
            QUuid::createUuid(), "/home/u/Tax “2024”", "Tax “2024”", true, false, 45};
        QCOMPARE(ProtectedFolder::fromJson(folder.toJson()), folder);
        const VeilmarkSettings settings = *VeilmarkSettings::fromJson(stored("settings"));
        QCOMPARE(settings.appearance, AppearanceMode::dark);
        QCOMPARE(VeilmarkSettings::fromJson(settings.toJson()), settings);

        // Through text, as it is stored: the date keeps its milliseconds.
        const LogEvent event{QUuid::createUuid(), QDateTime::currentDateTimeUtc(), LogEventKind::systemRelock,
                             "Folders relocked", "Screen locked"};
        const QByteArray text = QJsonDocument(event.toJson()).toJson();
        QCOMPARE(LogEvent::fromJson(QJsonDocument::fromJson(text).object()), event);

        // Identifiers are written upper-case without braces; dates as seconds since 2001-01-01 UTC.
        QCOMPARE(folder.toJson().value("id").toString(), folder.id.toString(QUuid::WithoutBraces).toUpper());
        const LogEvent nextDay{{}, QDateTime(QDate(2001, 1, 2), QTime(0, 0, 1, 500), Qt::UTC)};
        QCOMPARE(nextDay.toJson().value("date").toDouble(), 86401.5);
        QCOMPARE(LogEvent::fromJson(stored("event", "date", -86400.5))->date,
                 QDateTime(QDate(2000, 12, 30), QTime(23, 59, 59, 500), Qt::UTC));
    }

    void strictDecoding_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QJsonObject>("json");
        QTest::addColumn<bool>("decodes");
        for (const char* kind : {"settings", "folder", "event"})
            QTest::addRow("valid %s", kind) << kind << stored(kind) << true;
        QTest::newRow("unknown member ignored") << "settings" << stored("settings", "theme", "neon") << true;
        QTest::newRow("capitalised appearance")
            << "settings" << stored("settings", "appearance", "Dark") << false;
        QTest::newRow("missing appearance")
            << "settings" << stored("settings", "appearance", QJsonValue::Undefined) << false;
        QTest::newRow("bool as number") << "settings" << stored("settings", "launchAtLogin", 1) << false;
        QTest::newRow("minutes with fraction")
            << "settings" << stored("settings", "defaultFolderUnlockMinutes", 1.5) << false;
        QTest::newRow("minutes beyond 64 bits")
            << "settings" << stored("settings", "defaultFolderUnlockMinutes", 1e30) << false;
        QTest::newRow("minutes as string")
            << "settings" << stored("settings", "defaultFolderUnlockMinutes", "10") << false;
        QTest::newRow("negative minutes have no range")
            << "folder" << stored("folder", "unlockMinutes", -5) << true;
        QTest::newRow("missing isLocked")
            << "folder" << stored("folder", "isLocked", QJsonValue::Undefined) << false;
        QTest::newRow("lower-case uuid")
            << "folder" << stored("folder", "id", "6f9619ff-8b86-d011-b42d-00cf4fc964ff") << true;
        for (const char* bad :
             {"{6F9619FF-8B86-D011-B42D-00CF4FC964FF}", "6F9619FF8B86D011B42D00CF4FC964FF",
              "6F9619FF-8B86-D011-B42D-00CF4FC964FG", "6F9619FF-8B86-D011-B42D-00CF4FC964F"})
            QTest::addRow("uuid %s", bad) << "folder" << stored("folder", "id", bad) << false;
        QTest::newRow("unknown event kind") << "event" << stored("event", "kind", "appUnlockedd") << false;
        QTest::newRow("huge date") << "event" << stored("event", "date", 1e300) << false;
        QTest::newRow("date as string") << "event" << stored("event", "date", "0") << false;
    }

    void strictDecoding()
    {
        QFETCH(QString, kind);
        QFETCH(QJsonObject, json);
        QFETCH(bool, decodes);
        const bool decoded = kind == "settings" ? VeilmarkSettings::fromJson(json).has_value()
                             : kind == "folder" ? ProtectedFolder::fromJson(json).has_value()
                                                : LogEvent::fromJson(json).has_value();
        QCOMPARE(decoded, decodes);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "TestRecords.moc"
