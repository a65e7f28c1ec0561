#include "AppFonts.h"

#include <QFont>
#include <QFontDatabase>

void SetupApplicationFonts() {
    QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/ms_sans_serif.ttf"));
    QFont::insertSubstitution(QStringLiteral("Book Antiqua"), QStringLiteral("P052"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"),
                              QStringLiteral("Liberation Serif"));
}
