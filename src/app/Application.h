#pragma once

#include <QApplication>

// The application object: an exception that reaches the event dispatch on the GUI thread (a
// device that cannot be created, a sound device error) is shown in a message box with its
// text, and the program goes on.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    static void ShowException(const QString& text);
    // One line on standard error, "orvalen: " first: for what the user must learn when no
    // window can say it.
    static void PrintError(const QString& line);
    // What the user must learn about a device or service the program cannot use as it is: the
    // log window when it is wanted, standard error otherwise, so that it is not lost while the
    // log is closed (at start-up, say).
    static void Notice(const QString& line);
};
