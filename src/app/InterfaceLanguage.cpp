#include "InterfaceLanguage.h"

#include <QCoreApplication>
#include <QList>
#include <QTranslator>
#include <QtGlobal>

namespace {

// The language part of a locale or LANGUAGE entry: "ru_RU.UTF-8@x" gives "ru".
QByteArray LanguageOf(const QByteArray& entry) {
    qsizetype end = 0;
    while (end < entry.size() && entry[end] != '_' && entry[end] != '.' && entry[end] != '@')
        ++end;
    return entry.left(end).toLower();
}

bool ReadsRussian(const QByteArray& language) {
    return language == "ru" || language == "uk" || language == "be";
}

bool IsPlainLocale(const QByteArray& locale) {
    const QByteArray language = LanguageOf(locale);
    return language.isEmpty() || language == "c" || language == "posix";
}

} // namespace

TInterfaceLanguage InterfaceLanguageFor(const QByteArray& language, const QByteArray& lcAll,
                                        const QByteArray& lcMessages, const QByteArray& lang) {
    const QByteArray locale =
        !lcAll.isEmpty() ? lcAll : (!lcMessages.isEmpty() ? lcMessages : lang);
    if (IsPlainLocale(locale))
        return TInterfaceLanguage::Russian;
    for (const QByteArray& entry : language.split(':')) {
        const QByteArray wanted = LanguageOf(entry);
        if (ReadsRussian(wanted))
            return TInterfaceLanguage::Russian;
        if (wanted == "en")
            return TInterfaceLanguage::English;
    }
    return ReadsRussian(LanguageOf(locale)) ? TInterfaceLanguage::Russian
                                            : TInterfaceLanguage::English;
}

TInterfaceLanguage InterfaceLanguage() {
    return InterfaceLanguageFor(qgetenv("LANGUAGE"), qgetenv("LC_ALL"), qgetenv("LC_MESSAGES"),
                                qgetenv("LANG"));
}

bool InstallInterfaceTranslation(QCoreApplication& application, TInterfaceLanguage language) {
    if (language != TInterfaceLanguage::English)
        return false;
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral(":/i18n/orvalen_en.qm")) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}
