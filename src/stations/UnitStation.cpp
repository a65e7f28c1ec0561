#include "UnitStation.h"

#include "controls/WindowFont.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFormStation::TFormStation(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint) {
    setWindowTitle(tr("Станция"));
    setFixedSize(297, 176);
    setFont(WindowFontInPoints(8));

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setGeometry(8, 8, 281, 120);
    Label1 = new QLabel(tr("Частота"), GroupBox1);
    Label1->setGeometry(8, 27, 62, 16);
    EditFreq = new QLineEdit(GroupBox1);
    EditFreq->setGeometry(72, 24, 57, 21);
    Label1->setBuddy(EditFreq);
    Label2 = new QLabel(tr("Название"), GroupBox1);
    Label2->setGeometry(8, 75, 62, 16);
    EditName = new QLineEdit(GroupBox1);
    EditName->setGeometry(72, 72, 193, 21);
    Label2->setBuddy(EditName);

    // Neither button is the default one: Enter in an edit must not close the dialog.
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setGeometry(112, 135, 81, 33);
    BitBtn1->setAutoDefault(false);
    BitBtn1->setDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setGeometry(208, 135, 81, 33);
    BitBtn2->setAutoDefault(false);
    BitBtn2->setDefault(false);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    // The edits are named by their captions also where a screen reader does not follow the
    // captions' buddies.
    EditFreq->setAccessibleName(Label1->text());
    EditName->setAccessibleName(Label2->text());
    setTabOrder(EditFreq, EditName);
    setTabOrder(EditName, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
}

void TFormStation::showEvent(QShowEvent* event) {
    // Centred over the window that shows it: its owner, else the window active at the time.
    QWidget* owner = parentWidget() ? parentWidget()->window() : QApplication::activeWindow();
    if (owner && owner != this) {
        const QRect outer = owner->frameGeometry();
        move(outer.center() - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(event);
}

void TFormStation::keyPressEvent(QKeyEvent* event) {
    // QDialog would click an auto-default button on Enter; this dialog has none to click.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
