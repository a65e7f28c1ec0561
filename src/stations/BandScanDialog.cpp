#include "BandScanDialog.h"

#include "StationList.h"
#include "controls/WindowFont.h"

#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

TBandScanDialog::TBandScanDialog(QWidget* owner, int low, int high)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(tr("Сканирование диапазона"));
    setFixedSize(297, 236);
    setFont(WindowFontInPoints(8));

    LabelFrequency = new QLabel(this);
    LabelFrequency->setGeometry(8, 8, 281, 16);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setGeometry(8, 28, 281, 16);
    ProgressBar->setRange(low, high);
    ProgressBar->setTextVisible(false);
    LabelFound = new QLabel(this);
    LabelFound->setGeometry(8, 52, 281, 16);
    ListFound = new QListWidget(this);
    ListFound->setGeometry(8, 72, 281, 116);
    ListFound->setFocusPolicy(Qt::NoFocus);
    ButtonCancel = new QPushButton(tr("Отмена"), this);
    ButtonCancel->setGeometry(208, 195, 81, 33);
    connect(ButtonCancel, &QPushButton::clicked, this, &TBandScanDialog::CancelRequested);

    SetReached(low);
    LabelFound->setText(tr("Найдено станций: 0"));
}

void TBandScanDialog::SetReached(int tuneValue) {
    ProgressBar->setValue(std::clamp(tuneValue, ProgressBar->minimum(), ProgressBar->maximum()));
    LabelFrequency->setText(tr("Частота: %1 МГц").arg(Stations::FrequencyText(tuneValue)));
}

void TBandScanDialog::AddStation(int tuneValue, const QString& name) {
    const QString freq = Stations::FrequencyText(tuneValue);
    ListFound->addItem(name.isEmpty() ? freq : freq + QStringLiteral("  ") + name);
    ListFound->scrollToBottom();
    LabelFound->setText(tr("Найдено станций: %1").arg(ListFound->count()));
    emit StationFound(ListFound->count());
}

int TBandScanDialog::FoundCount() const {
    return ListFound->count();
}

void TBandScanDialog::reject() {
    // The scan decides when the dialog goes: it may still tune the tuner back first.
    emit CancelRequested();
}

void TBandScanDialog::showEvent(QShowEvent* event) {
    if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr) {
        const QRect outer = owner->frameGeometry();
        move(outer.center() - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(event);
}
