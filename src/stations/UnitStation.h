#pragma once

// The station dialog: two edits the main window fills before each showing and reads after
// OK. It has no behaviour of its own.

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TFormStation : public QDialog {
    Q_OBJECT
public:
    explicit TFormStation(QWidget* owner = nullptr);

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* EditFreq;
    QLineEdit* EditName;
    QPushButton* BitBtn1; // "OK"
    QPushButton* BitBtn2; // Cancel, also Esc

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
