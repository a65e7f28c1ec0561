#pragma once

#include <QDialog>

// About window; its contents arrive with its own feature.
class TFormAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* owner = nullptr);
};
