#include "Messages.h"

int ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, caption, text, buttons, parent);
    return box.exec();
}
