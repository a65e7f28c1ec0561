#include "OptionsUnit.h"

TOptionsForm::TOptionsForm(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QString::fromUtf8("Настройки"));
    setFixedSize(545, 412);
}
