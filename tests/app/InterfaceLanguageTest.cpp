#include "app/InterfaceLanguage.h"

#include <gtest/gtest.h>

TEST(InterfaceLanguage, RussianForItsReadersAndThePlainLocaleEnglishForEveryoneElse) {
    using L = TInterfaceLanguage;
    const struct {
        const char *Language, *LcAll, *LcMessages, *Lang;
        L Expected;
    } cases[] = {
        {"", "", "", "", L::Russian}, // nothing set: the C locale
        {"", "", "", "C", L::Russian},
        {"", "", "", "C.UTF-8", L::Russian},
        {"", "", "", "POSIX", L::Russian},
        {"en", "", "", "C", L::Russian}, // LANGUAGE means nothing to the C locale
        {"", "", "", "ru_RU.UTF-8", L::Russian},
        {"", "", "", "uk_UA.UTF-8", L::Russian},
        {"", "", "", "be_BY.UTF-8@latin", L::Russian},
        {"", "", "", "en_US.UTF-8", L::English},
        {"", "", "", "de_DE.UTF-8", L::English},
        {"", "de_DE.UTF-8", "", "ru_RU.UTF-8", L::English}, // LC_ALL before LANG
        {"", "", "ru_RU.UTF-8", "en_US.UTF-8", L::Russian}, // LC_MESSAGES before LANG
        {"en", "", "", "ru_RU.UTF-8", L::English},
        {"en_GB:ru", "", "", "ru_RU.UTF-8", L::English},
        {"de:uk:en", "", "", "de_DE.UTF-8", L::Russian}, // the first of ours in the list
        {"fr:de", "", "", "ru_RU.UTF-8", L::Russian},    // none of ours: the locale decides
        {"fr:de", "", "", "fr_FR.UTF-8", L::English},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InterfaceLanguageFor(c.Language, c.LcAll, c.LcMessages, c.Lang), c.Expected)
            << "LANGUAGE=" << c.Language << " LC_ALL=" << c.LcAll << " LC_MESSAGES=" << c.LcMessages
            << " LANG=" << c.Lang;
}
