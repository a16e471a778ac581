#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace {
// Built from src/translations/*.ts and embedded (see src/CMakeLists.txt).
const QString CatalogueDirectory = QStringLiteral(":/i18n");
const QString Fallback = QStringLiteral("en");

QPointer<QTranslator>& installed(int slot)
{
    static QPointer<QTranslator> translators[2];
    return translators[slot];
}

void replace(int slot, QTranslator* translator)
{
    if (QTranslator* old = installed(slot)) {
        QCoreApplication::removeTranslator(old);
        delete old;
    }
    installed(slot) = translator;
    if (translator)
        QCoreApplication::installTranslator(translator);
}
} // namespace

QString Translations::install(const QLocale& locale)
{
    auto* own = new QTranslator(QCoreApplication::instance());
    // load(QLocale) walks the locale's UI languages in order ("de-DE", "de", ...); the C locale
    // has none of its own.
    if (!own->load(locale, QStringLiteral("veilmark"), QStringLiteral("_"), CatalogueDirectory))
        (void)own->load(QStringLiteral("veilmark_") + Fallback, CatalogueDirectory);
    const QString language = own->language().section(u'_', 0, 0);
    replace(0, own);

    // Qt's own texts (standard buttons, shortcuts in accessible names); there is nothing to
    // install for English.
    auto* qt = new QTranslator(QCoreApplication::instance());
    if (language != Fallback && qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        replace(1, qt);
    } else {
        delete qt;
        replace(1, nullptr);
    }
    // Numbers and dates in the same locale as the words.
    QLocale::setDefault(locale);
    return language;
}
