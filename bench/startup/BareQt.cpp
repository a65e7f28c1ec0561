// The yardstick of the start-up benchmark: the least a Qt Widgets program does to show a
// window of the main window's size with a label and a button, reporting its first paint and
// peak memory as the program does.
#include "app/FirstPaintReport.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setFixedSize(370, 468);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("101.7 MHz")));
    layout->addWidget(new QPushButton(QStringLiteral("Power")));
    TFirstPaintReporter reporter(&window);
    window.show();
    return QApplication::exec();
}
