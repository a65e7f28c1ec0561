#include "UnitEqualizer.h"

TFormEqualizer::TFormEqualizer(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QString::fromUtf8("Эквалайзер"));
    setFixedSize(359, 223);
}
