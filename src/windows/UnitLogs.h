#pragma once

#include <QWidget>

// Лог window; its contents arrive with its own feature.
class TFormLogs : public QWidget {
    Q_OBJECT
public:
    explicit TFormLogs(QWidget* owner = nullptr);
};

// The log window, or none before it is created.
extern TFormLogs* FormLogs;
