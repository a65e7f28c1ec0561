#include "UnitLogs.h"

TFormLogs::TFormLogs(QWidget* owner) : QWidget(owner, Qt::Window) {
    setWindowTitle(QString::fromUtf8("Лог"));
    setFixedSize(438, 282);
}

TFormLogs* FormLogs = nullptr;
