#include "UnitStation.h"

TFormStation::TFormStation(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QString::fromUtf8("Станция"));
    setFixedSize(297, 176);
}
