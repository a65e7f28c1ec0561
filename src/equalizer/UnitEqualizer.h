#pragma once

#include <QDialog>

// Эквалайзер window; its contents arrive with its own feature.
class TFormEqualizer : public QDialog {
    Q_OBJECT
public:
    explicit TFormEqualizer(QWidget* owner = nullptr);
};
