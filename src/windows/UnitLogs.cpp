#include "UnitLogs.h"

#include "controls/WindowFont.h"

#include <QPlainTextEdit>
#include <QResizeEvent>
#include <cstdio>

namespace {

bool gVerbose = false;

// Memo1 keeps these distances to the right and bottom edges as the window is resized.
constexpr int kMemoRightGap = 438 - 8 - 425;
constexpr int kMemoBottomGap = 282 - 8 - 265;

} // namespace

TFormLogs* FormLogs = nullptr;

TFormLogs::TFormLogs(QWidget* owner) : QWidget(owner, Qt::Window) {
    setWindowTitle(tr("Лог"));
    setFont(WindowFont(11));
    resize(438, 282);
    move(181, 170);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setGeometry(8, 8, 425, 265);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setPlainText(QStringLiteral("Memo1"));
    // A program that runs for weeks with the log on must not grow with it.
    Memo1->setMaximumBlockCount(MaxLogLines);
    Memo1->setAccessibleName(tr("Лог"));
}

void TFormLogs::AddLine(const QString& line) {
    Memo1->appendPlainText(line);
}

QStringList TFormLogs::Lines() const {
    return Memo1->toPlainText().split(QLatin1Char('\n'));
}

void TFormLogs::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Memo1->setGeometry(8, 8, std::max(0, width() - 8 - kMemoRightGap),
                       std::max(0, height() - 8 - kMemoBottomGap));
}

bool LogVisible() {
    return FormLogs != nullptr && FormLogs->isVisible();
}

bool LogWanted() {
    return gVerbose || LogVisible();
}

void WriteLog(const QString& line) {
    if (gVerbose) {
        // A standard error nobody reads any more (a closed pipe) ends the echo, not the program.
        if (std::fprintf(stderr, "%s\n", line.toUtf8().constData()) < 0 || std::fflush(stderr) != 0)
            gVerbose = false;
    }
    if (LogVisible())
        FormLogs->AddLine(line);
}

void SetLogVerbose(bool verbose) {
    gVerbose = verbose;
}

bool LogVerbose() {
    return gVerbose;
}
