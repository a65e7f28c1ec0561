#pragma once

#include <QByteArray>

class QCoreApplication;

// The program speaks Russian, its own language, to those who read Russian, Ukrainian or
// Belarusian and to the C/POSIX locale, and English to every other interface language.

enum class TInterfaceLanguage { Russian, English };

// The interface language for these environment values, as gettext reads them: a C or POSIX
// locale (from LC_ALL, else LC_MESSAGES, else LANG; unset is C) ignores LANGUAGE; otherwise
// LANGUAGE's colon-separated list is read in order and the first of our languages in it wins
// (Ukrainian and Belarusian read Russian), and without LANGUAGE the locale's language decides.
TInterfaceLanguage InterfaceLanguageFor(const QByteArray& language, const QByteArray& lcAll,
                                        const QByteArray& lcMessages, const QByteArray& lang);

// The interface language for this process's environment.
TInterfaceLanguage InterfaceLanguage();

// Gives the application its English texts when the interface language asks for them; true
// when it did. The translation lives as long as the application.
bool InstallInterfaceTranslation(QCoreApplication& application,
                                 TInterfaceLanguage language = InterfaceLanguage());
