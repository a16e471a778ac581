#include "model/JsonFields.h"
#include "model/LogEvent.h"
#include "model/ProtectedApp.h"
#include "model/ProtectedFolder.h"
#include "model/VeilmarkSettings.h"
#include "store/EventLog.h"

#include <QJsonDocument>
#include <QTest>

namespace {
QJsonObject object(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}

QJsonObject settingsJson()
{
    return object(R"({"relockAppsOnFocusLoss":true,"relockOnSleepOrScreenLock":false,
        "defaultFolderUnlockMinutes":15,"launchAtLogin":true,"appearance":"dark"})");
}

QJsonObject folderJson()
{
    return object(R"({"id":"6F9619FF-8B86-D011-B42D-00CF4FC964FF","path":"/home/u/Work","name":"Work",
        "enabled":true,"isLocked":false,"unlockMinutes":0})");
}

QJsonObject eventJson()
{
    return object(R"({"id":"6F9619FF-8B86-D011-B42D-00CF4FC964FF","date":0,"kind":"folderUnlocked",
        "subject":"Work","detail":""})");
}
} // namespace

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    void identityAndEquality()
    {
        const ProtectedApp a{"org.gnome.Calculator", "Calculator", "/usr/share/applications/x.desktop"};
        ProtectedApp b = a;
        b.name = "Calc";
        QCOMPARE(a.id(), b.id());
        QVERIFY(a != b);
        QVERIFY(qHash(a) != qHash(b) || a != b);

        const ProtectedFolder f{QUuid::createUuid(), "/home/u/Work", "Work"};
        ProtectedFolder g = f;
        g.isLocked = false;
        QCOMPARE(f.id, g.id);
        QVERIFY(f != g);
        QVERIFY(f.enabled && f.isLocked);
        QCOMPARE(f.unlockMinutes, qint64(10));
    }

    void recordsRoundTrip()
    {
        const ProtectedApp app{"firefox-esr", "Firefox", "/usr/share/applications/firefox-esr.desktop", false,
                               true};
        QCOMPARE(ProtectedApp::fromJson(app.toJson()), app);

        const ProtectedFolder folder{
            QUuid::createUuid(), "/home/u/Tax “2024”", "Tax “2024”", true, false, 45};
        QCOMPARE(ProtectedFolder::fromJson(folder.toJson()), folder);

        const LogEvent event{QUuid::createUuid(), QDateTime::currentDateTimeUtc(), LogEventKind::systemRelock,
                             "Folders relocked", "Screen locked"};
        // Through text, as it is stored: the date keeps its milliseconds.
        const QByteArray text = QJsonDocument(event.toJson()).toJson();
        QCOMPARE(LogEvent::fromJson(QJsonDocument::fromJson(text).object()), event);
    }

    void uuidForm()
    {
        const QUuid id = QUuid::createUuid();
        const QString text = folderJson().value("id").toString();
        QCOMPARE(ProtectedFolder::fromJson(folderJson())->id, QUuid::fromString(text));
        const QString stored = ProtectedFolder{id}.toJson().value("id").toString();
        QCOMPARE(stored, stored.toUpper());
        QCOMPARE(stored.size(), 36);

        for (const char* bad :
             {"{6F9619FF-8B86-D011-B42D-00CF4FC964FF}", "6F9619FF8B86D011B42D00CF4FC964FF",
              "6F9619FF-8B86-D011-B42D-00CF4FC964FG", "", "6F9619FF-8B86-D011-B42D-00CF4FC964F"}) {
            QJsonObject o = folderJson();
            o["id"] = QString::fromLatin1(bad);
            QVERIFY2(!ProtectedFolder::fromJson(o), bad);
        }
    }

    void datesCountFrom2001()
    {
        const LogEvent event = *LogEvent::fromJson(eventJson());
        QCOMPARE(event.date, QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC));

        QJsonObject o = eventJson();
        o["date"] = -86400.5;
        QCOMPARE(LogEvent::fromJson(o)->date,
                 QDateTime(QDate(2000, 12, 30), QTime(23, 59, 59, 500), Qt::UTC));
        o["date"] = 1e300;
        QVERIFY(!LogEvent::fromJson(o));
        o["date"] = "0";
        QVERIFY(!LogEvent::fromJson(o));
    }

    void strictDecoding_data()
    {
        QTest::addColumn<QJsonObject>("json");
        QTest::addColumn<bool>("decodes");
        auto settingsWith = [](const char* key, const QJsonValue& value) {
            QJsonObject o = settingsJson();
            if (value.isUndefined())
                o.remove(QLatin1String(key));
            else
                o[QLatin1String(key)] = value;
            return o;
        };
        QTest::newRow("valid") << settingsJson() << true;
        QTest::newRow("capitalised appearance") << settingsWith("appearance", "Dark") << false;
        QTest::newRow("missing appearance") << settingsWith("appearance", QJsonValue::Undefined) << false;
        QTest::newRow("bool as string") << settingsWith("launchAtLogin", "true") << false;
        QTest::newRow("bool as number") << settingsWith("launchAtLogin", 1) << false;
        QTest::newRow("minutes with fraction") << settingsWith("defaultFolderUnlockMinutes", 1.5) << false;
        QTest::newRow("minutes as string") << settingsWith("defaultFolderUnlockMinutes", "10") << false;
        QTest::newRow("minutes beyond 64 bits") << settingsWith("defaultFolderUnlockMinutes", 1e30) << false;
        QTest::newRow("minutes null") << settingsWith("defaultFolderUnlockMinutes", QJsonValue()) << false;
        QTest::newRow("unknown member ignored") << settingsWith("theme", "neon") << true;
    }

    void strictDecoding()
    {
        QFETCH(QJsonObject, json);
        QFETCH(bool, decodes);
        QCOMPARE(VeilmarkSettings::fromJson(json).has_value(), decodes);
    }

    void settingsValues()
    {
        const VeilmarkSettings s = *VeilmarkSettings::fromJson(settingsJson());
        QCOMPARE(s.appearance, AppearanceMode::dark);
        QCOMPARE(s.defaultFolderUnlockMinutes, qint64(15));
        QVERIFY(!s.relockOnSleepOrScreenLock);
        QCOMPARE(VeilmarkSettings::fromJson(s.toJson()), s);
        QCOMPARE(VeilmarkSettings(), *VeilmarkSettings::fromJson(VeilmarkSettings().toJson()));
        QCOMPARE(rawValue(VeilmarkSettings().appearance), QString("system"));
        QCOMPARE(allAppearanceModes().size(), 3);
        QVERIFY(!appearanceModeFromRawValue("System"));
    }

    void folderMinutesHaveNoRange()
    {
        QCOMPARE(ProtectedFolder::fromJson(folderJson())->unlockMinutes, qint64(0));
        QJsonObject o = folderJson();
        o["unlockMinutes"] = -5;
        QCOMPARE(ProtectedFolder::fromJson(o)->unlockMinutes, qint64(-5));
        o.remove("isLocked");
        QVERIFY(!ProtectedFolder::fromJson(o));
        QVERIFY(!ProtectedFolder::fromJson(QJsonValue(QJsonArray{folderJson()})));
    }

    void unknownEventKindFailsTheWholeList()
    {
        QJsonObject bad = eventJson();
        bad["kind"] = "appUnlockedd";
        QVERIFY(!LogEvent::fromJson(bad));
        QVERIFY(EventLog::decode(QJsonDocument(QJsonArray{eventJson()}).toJson()));
        QVERIFY(!EventLog::decode(QJsonDocument(QJsonArray{eventJson(), bad}).toJson()));
        QCOMPARE(rawValue(LogEventKind::folderAuthFailed), QString("folderAuthFailed"));
        QVERIFY(!logEventKindFromRawValue("Error"));
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "TestRecords.moc"
