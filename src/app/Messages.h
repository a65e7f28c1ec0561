#pragma once

// The main window's message boxes. GUI thread only.

#include <QMessageBox>

// A modal message box over parent; the button the user pressed.
int ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                const QString& text, QMessageBox::StandardButtons buttons = QMessageBox::Ok);
