#pragma once

#include <QDialog>

// Настройки window; its contents arrive with its own feature.
class TOptionsForm : public QDialog {
    Q_OBJECT
public:
    explicit TOptionsForm(QWidget* owner = nullptr);
};
