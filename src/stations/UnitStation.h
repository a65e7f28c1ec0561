#pragma once

#include <QDialog>

// Станция window; its contents arrive with its own feature.
class TFormStation : public QDialog {
    Q_OBJECT
public:
    explicit TFormStation(QWidget* owner = nullptr);
};
