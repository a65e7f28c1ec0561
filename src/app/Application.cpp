#include "Application.h"

#include "windows/UnitLogs.h"

#include <QMessageBox>
#include <cstdio>
#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowException(QString::fromUtf8(error.what()));
    } catch (...) {
        ShowException(QStringLiteral("Unknown error"));
    }
    return false;
}

void TApplication::ShowException(const QString& text) {
    QMessageBox::critical(activeWindow(), applicationName(), text);
}

void TApplication::PrintError(const QString& line) {
    std::fprintf(stderr, "orvalen: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

void TApplication::Notice(const QString& line) {
    if (LogWanted())
        WriteLog(line);
    else
        PrintError(line);
}
