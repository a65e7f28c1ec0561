#pragma once

// The band scan's progress: the frequency reached and the stations found so far, with a
// Cancel button. The dialog only shows; the main window runs the scan and closes it. Esc and
// the close box ask to cancel like the button does.

#include <QDialog>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

class TBandScanDialog : public QDialog {
    Q_OBJECT
public:
    // low, high: tune values of the band's ends.
    TBandScanDialog(QWidget* owner, int low, int high);

    void SetReached(int tuneValue);
    void AddStation(int tuneValue, const QString& name);
    int FoundCount() const;

    QLabel* LabelFrequency;
    QProgressBar* ProgressBar;
    QLabel* LabelFound;
    QListWidget* ListFound;
    QPushButton* ButtonCancel;

signals:
    void CancelRequested();
    // A station was added to the list shown; count: how many it holds now.
    void StationFound(int count);

protected:
    void reject() override;
    void showEvent(QShowEvent* event) override;
};
