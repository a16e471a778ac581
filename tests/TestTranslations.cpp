#include "EventListModel.h"
#include "ModelRig.h"
#include "app/ProtectionChanges.h"
#include "app/Translations.h"
#include "apps/AppProtectionEngine.h"
#include "auth/AttemptBackoff.h"
#include "folders/FolderStatus.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QXmlStreamReader>

using Result = Authenticator::Result;

namespace {
struct Entry
{
    bool numerus = false;
    // Empty while unfinished.
    QStringList translations;
};

// (context, source, comment) -> entry, as a .ts file holds them.
QMap<QString, Entry> readCatalogue(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QMap<QString, Entry> entries;
    QXmlStreamReader xml(&file);
    QString context, source, comment;
    Entry entry;
    bool unfinished = false;
    while (!xml.atEnd()) {
        xml.readNext();
        const auto name = xml.name();
        if (xml.isStartElement() && name == u"name") {
            context = xml.readElementText();
        } else if (xml.isStartElement() && name == u"message") {
            entry = {xml.attributes().value(QLatin1String("numerus")) == u"yes", {}};
            source.clear();
            comment.clear();
            unfinished = false;
        } else if (xml.isStartElement() && name == u"source") {
            source = xml.readElementText();
        } else if (xml.isStartElement() && name == u"comment") {
            comment = xml.readElementText();
        } else if (xml.isStartElement() && name == u"translation") {
            const auto type = xml.attributes().value(QLatin1String("type"));
            unfinished = type == u"unfinished" || type == u"vanished" || type == u"obsolete";
            if (!entry.numerus)
                entry.translations.append(xml.readElementText());
        } else if (xml.isStartElement() && name == u"numerusform") {
            entry.translations.append(xml.readElementText());
        } else if (xml.isEndElement() && name == u"message") {
            if (unfinished || entry.translations.contains(QString()))
                entry.translations.clear();
            entries.insert(context + u'|' + source + u'|' + comment, entry);
        }
    }
    return entries;
}

// What the sources ask for today, from a fresh lupdate run into an empty file.
QMap<QString, Entry> freshSources(const QString& directory)
{
    QProcess lupdate;
    lupdate.start(QStringLiteral(VEILMARK_LUPDATE),
                  {QStringLiteral("-locations"), QStringLiteral("none"), QStringLiteral("-extensions"),
                   QStringLiteral("cpp,h,qml,js"), QStringLiteral(VEILMARK_SOURCE_DIR), QStringLiteral("-ts"),
                   directory + QStringLiteral("/fresh.ts")});
    if (!lupdate.waitForFinished(120000) || lupdate.exitCode() != 0)
        qWarning() << "lupdate failed:" << lupdate.readAllStandardError();
    return readCatalogue(directory + QStringLiteral("/fresh.ts"));
}

QStringList placeholders(const QString& text)
{
    static const QRegularExpression marker(QStringLiteral("%L?[0-9n]"));
    QStringList found;
    for (const QRegularExpressionMatch& match : marker.globalMatch(text))
        found.append(match.captured().remove(u'L'));
    found.sort();
    found.removeDuplicates();
    return found;
}
} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Translations::install(QLocale::c()); }

    // A text added to the sources without a translation fails here: German and French translate
    // every text, English every plural, and each translation keeps its source's placeholders.
    void cataloguesCoverEveryText()
    {
        QTemporaryDir directory;
        const QMap<QString, Entry> sources = freshSources(directory.path());
        QVERIFY2(sources.size() > 100, "lupdate found no texts");
        QStringList problems;
        for (const char* language : {"de", "fr", "en"}) {
            const bool pluralsOnly = qstrcmp(language, "en") == 0;
            const QMap<QString, Entry> shipped =
                readCatalogue(QStringLiteral(VEILMARK_SOURCE_DIR) +
                              QStringLiteral("/translations/veilmark_%1.ts").arg(QLatin1String(language)));
            for (auto it = sources.cbegin(); it != sources.cend(); ++it) {
                if (pluralsOnly && !it->numerus)
                    continue;
                const Entry found = shipped.value(it.key());
                if (found.translations.isEmpty())
                    problems.append(
                        QStringLiteral("%1: untranslated %2").arg(QLatin1String(language), it.key()));
                const QString source = it.key().section(u'|', 1, -2);
                for (const QString& translation : found.translations) {
                    // A plural may leave its count out ("one folder").
                    QStringList wanted = placeholders(source);
                    if (it->numerus && !translation.contains(QLatin1String("%n")))
                        wanted.removeOne(QStringLiteral("%n"));
                    if (placeholders(translation) != wanted)
                        problems.append(QStringLiteral("%1: placeholders of %2 in %3")
                                            .arg(QLatin1String(language), it.key(), translation));
                }
            }
            for (auto it = shipped.cbegin(); it != shipped.cend(); ++it) {
                if (!sources.contains(it.key()))
                    problems.append(QStringLiteral("%1: no longer in the sources: %2")
                                        .arg(QLatin1String(language), it.key()));
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    void eventsAreRecordedInTheLanguageOfTheMoment_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("catalogue");
        QTest::addColumn<QStringList>("texts");
        const QStringList english{
            "Relock apps on focus loss", "Turned on", "Unlock Firefox", "Missing", "Try again in 1 second",
            "Try again in 2 minutes",    "Cancel"};
        QTest::newRow("C") << "C"
                           << "en" << english;
        // A language without a catalogue gets English, with English plurals.
        QTest::newRow("Japanese") << "ja_JP"
                                  << "en" << english;
        QTest::newRow("German") << "de_DE"
                                << "de"
                                << QStringList{"Apps bei Fokusverlust erneut sperren",
                                               "Eingeschaltet",
                                               "Firefox entsperren",
                                               "Fehlt",
                                               "Versuchen Sie es in 1 Sekunde erneut",
                                               "Versuchen Sie es in 2 Minuten erneut",
                                               "Abbrechen"};
        QTest::newRow("French") << "fr_FR"
                                << "fr"
                                << QStringList{"Reverrouiller les apps à la perte du focus",
                                               "Activé",
                                               "Déverrouiller Firefox",
                                               "Introuvable",
                                               "Réessayez dans 1 seconde",
                                               "Réessayez dans 2 minutes",
                                               "Annuler"};
    }

    void eventsAreRecordedInTheLanguageOfTheMoment()
    {
        QFETCH(QString, locale);
        QFETCH(QString, catalogue);
        QFETCH(QStringList, texts);
        QCOMPARE(Translations::install(QLocale(locale)), catalogue);
        ModelRig rig;
        rig.policy().addApp(testApp("org.mozilla.firefox", "Firefox"));
        VeilmarkSettings settings = rig.policy().settings();
        settings.relockAppsOnFocusLoss = false;
        rig.policy().setSettings(settings);
        rig.state->changes()->setRelockSetting(ProtectionChanges::RelockSetting::appsOnFocusLoss, true);
        // A failed attempt is recorded under the prompt's reason, made in the same language.
        rig.state->appEngine()->unlockAndLaunch(rig.policy().apps().constFirst());
        rig.authenticator.onFailedAttempt(rig.authenticator.calls.constLast().reason, {});
        rig.authenticator.reply(Result::userCancel);
        const QList<LogEvent>& events = rig.log().events();
        QCOMPARE(events.size(), 2);
        QCOMPARE((QStringList{events[1].subject, events[1].detail, events[0].subject,
                              FolderStatus{FolderStatus::State::missing, {}}.text(),
                              AttemptBackoff::waitText(1), AttemptBackoff::waitText(61),
                              // Qt's own catalogue, for its standard buttons.
                              QCoreApplication::translate("QPlatformTheme", "Cancel")}),
                 texts);
    }

    void timesShowHoursAndMinutesAndADateWhenNotToday_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("today");
        QTest::addColumn<QString>("earlier");
        QTest::newRow("C") << QLocale::c() << "14:05"
                           << "1 Mar 2024 14:05";
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates) << "2:05 PM"
                                 << "Mar 1, 2024 2:05 PM";
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << "14:05"
                                << "1. März 2024 14:05";
        QTest::newRow("French") << QLocale(QLocale::French, QLocale::France) << "14:05"
                                << "1 mars 2024 14:05";
    }

    void timesShowHoursAndMinutesAndADateWhenNotToday()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, today);
        QFETCH(QString, earlier);
        const QDateTime event(QDate(2024, 3, 1), QTime(14, 5, 9));
        QCOMPARE(EventListModel::formatDate(event, locale, event.addSecs(3 * 3600)), today);
        QCOMPARE(EventListModel::formatDate(event, locale, event.addDays(1)), earlier);
    }
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "TestTranslations.moc"
