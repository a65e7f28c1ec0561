#include "stations/UnitStation.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

void Press(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

} // namespace

TEST(FormStation, LooksAsDocumented) {
    TFormStation form;
    EXPECT_EQ(form.windowTitle(), "Станция");
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(form.size(), QSize(297, 176));
    EXPECT_EQ(form.GroupBox1->geometry(), QRect(8, 8, 281, 120));
    EXPECT_EQ(form.EditFreq->geometry().topLeft(), QPoint(72, 24));
    EXPECT_EQ(form.EditFreq->width(), 57);
    EXPECT_EQ(form.EditName->geometry().topLeft(), QPoint(72, 72));
    EXPECT_EQ(form.EditName->width(), 193);
    EXPECT_EQ(form.BitBtn1->geometry(), QRect(112, 135, 81, 33));
    EXPECT_EQ(form.BitBtn1->text(), "OK");
    EXPECT_EQ(form.BitBtn2->geometry(), QRect(208, 135, 81, 33));
    EXPECT_EQ(form.BitBtn2->text(), "Cancel");
}

TEST(FormStation, EnterDoesNotCloseEscCancelsOkAccepts) {
    TFormStation form;
    form.show();
    form.EditFreq->setFocus();
    Press(form.EditFreq, Qt::Key_Return);
    Press(form.BitBtn1, Qt::Key_Enter);
    EXPECT_TRUE(form.isVisible());

    Press(form.EditName, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);

    form.show();
    form.BitBtn1->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST(FormStation, CentredOverItsOwner) {
    QWidget owner;
    owner.setGeometry(300, 200, 370, 468);
    owner.show();
    TFormStation form(&owner);
    form.show();
    const QPoint ownerCentre = owner.frameGeometry().center();
    const QPoint formCentre = form.frameGeometry().center();
    EXPECT_LE((ownerCentre - formCentre).manhattanLength(), 4);
}
