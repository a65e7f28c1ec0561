#pragma once

// The About window: borderless, always on top, centred; any click or key hides it.

#include <QDialog>

class QFrame;
class QGroupBox;
class QLabel;

class TFormAbout : public QDialog {
    Q_OBJECT
public:
    // versionFile: the executable whose version is shown; the running one by default.
    explicit TFormAbout(QWidget* owner = nullptr, const QString& versionFile = QString());

    QGroupBox* GroupBox1 = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* LabelVersion = nullptr;

    void FormClick() { hide(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate(const QString& versionFile);
};
