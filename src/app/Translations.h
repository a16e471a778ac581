#pragma once

#include <QLocale>
#include <QString>

// The user interface's language: Veilmark's own catalogue and Qt's, chosen from the session's
// locale (LANGUAGE, LC_ALL, LC_MESSAGES, LANG). Installed before any window or activity text is
// made, since recorded events keep the words they were made with.
class Translations
{
public:
    // Replaces whatever an earlier call installed. Languages without a catalogue get English,
    // whose catalogue holds only the plural forms ("1 folder", "2 folders"). Needs a
    // QCoreApplication. Returns the catalogue's language ("de", "fr", "en").
    static QString install(const QLocale& locale = QLocale::system());
};
