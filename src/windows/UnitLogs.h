#pragma once

// The log window ("Лог"): one line per device event, appended while the window is visible.
// Lines written while it is hidden are lost; only the last MaxLogLines are kept, nothing saves
// them.
// With --verbose every line also goes to standard error, whether the window is shown or not.

#include <QStringList>
#include <QWidget>

class QPlainTextEdit;

class TFormLogs : public QWidget {
    Q_OBJECT
public:
    static constexpr int MaxLogLines = 5000;

    explicit TFormLogs(QWidget* owner = nullptr);

    QPlainTextEdit* Memo1 = nullptr;

    void AddLine(const QString& line);
    QStringList Lines() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
};

// The log window, or none before it is created.
extern TFormLogs* FormLogs;

// The log window exists and is visible.
bool LogVisible();
// Whether a writer should build its line at all: the window is visible or the program is
// verbose.
bool LogWanted();
// Adds the line to the visible log window; also writes it to standard error when verbose.
void WriteLog(const QString& line);
void SetLogVerbose(bool verbose);
bool LogVerbose();
