#include "UnitAbout.h"

TFormAbout::TFormAbout(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QString::fromUtf8("About"));
    setFixedSize(330, 226);
}
