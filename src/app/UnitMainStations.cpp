// The station list part of the main window: its controls, the station file and every list
// operation. The list control holds the station lines; nothing else keeps a copy. A write
// that fails is shown and leaves the change in the list, to reach the file with the next
// write. GUI thread only.
#include "Application.h"
#include "Forms.h"
#include "Messages.h"
#include "UnitMain.h"
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"
#include "controls/Pictures.h"
#include "controls/SharpPicture.h"
#include "stations/StationFile.h"
#include "stations/StationList.h"
#include "stations/StationListBox.h"
#include "stations/UnitStation.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QToolButton>

namespace {

QIcon ImageList2Icon(int index) {
    return SharpIcon(Pictures::ImageList2(index));
}

QToolButton* MakeListButton(QWidget* parent, int top, const QString& hint, int image) {
    auto* button = new QToolButton(parent);
    button->setGeometry(315, top, 30, 28);
    button->setAutoRaise(true);
    button->setToolTip(hint);
    button->setIcon(ImageList2Icon(image));
    return button;
}

} // namespace

void TMainForm::CreateStationControls() {
    ListBoxStations = new TStationListBox(GroupBoxList);
    ListBoxStations->setGeometry(8, 16, 297, 238);
    ListBoxStations->FavouriteImage = Pictures::ImageList2(4);
    ListBoxStations->FMBandImage = Pictures::ImageList2(5);
    ListBoxStations->UKVBandImage = Pictures::ImageList2(6);
    // The display is made after the list; until then no row counts as tuned.
    ListBoxStations->OnGetTuneValue = [this] { return FScreen ? FScreen->TuneValue() : 0; };
    ListBoxStations->OnDblClick = [this] { ListBoxStationsDblClick(); };
    ListBoxStations->OnKeyPress = [this](QChar key) { ListBoxStationsKeyPress(key); };

    SpeedButtonAddStation = MakeListButton(GroupBoxList, 16, tr("Добавить станцию"), 0);
    SpeedButtonEditStation = MakeListButton(GroupBoxList, 47, tr("Править станцию"), 1);
    SpeedButtonDelStation = MakeListButton(GroupBoxList, 79, tr("Удалить станцию"), 2);
    SpeedButtonSortList = MakeListButton(GroupBoxList, 223, tr("Сортировать список"), 3);
    connect(SpeedButtonAddStation, &QToolButton::clicked, this,
            &TMainForm::SpeedButtonAddStationClick);
    connect(SpeedButtonEditStation, &QToolButton::clicked, this,
            &TMainForm::SpeedButtonEditStationClick);
    connect(SpeedButtonDelStation, &QToolButton::clicked, this,
            &TMainForm::SpeedButtonDelStationClick);
    connect(SpeedButtonSortList, &QToolButton::clicked, this, &TMainForm::SpeedButtonSortListClick);

    PopupMenuStationsList = new QMenu(this);
    auto addItem = [this](const QString& caption, int image, void (TMainForm::*handler)()) {
        QAction* item = PopupMenuStationsList->addAction(ImageList2Icon(image), caption);
        connect(item, &QAction::triggered, this, handler);
        return item;
    };
    NListAdd = addItem(tr("Добавить"), 0, &TMainForm::SpeedButtonAddStationClick);
    NListEdit = addItem(tr("Править"), 1, &TMainForm::SpeedButtonEditStationClick);
    NListDelete = addItem(tr("Удалить"), 2, &TMainForm::SpeedButtonDelStationClick);
    PopupMenuStationsList->addSeparator();
    NListSort = addItem(tr("Сортировать"), 3, &TMainForm::SpeedButtonSortListClick);
    PopupMenuStationsList->addSeparator();
    NListMarked = addItem(tr("Избранное"), 4, &TMainForm::NListMarkedClick);
    ListBoxStations->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListBoxStations, &QWidget::customContextMenuRequested, this, [this](QPoint pos) {
        PopupMenuStationsList->popup(ListBoxStations->viewport()->mapToGlobal(pos));
    });
    CreateScanControls();
}

void TMainForm::LoadStations() {
    QStringList lines;
    QString reason;
    if (Stations::LoadStationFile(FStationPath, lines, &reason)) {
        ListBoxStations->SetLines(lines);
        return;
    }
    if (reason.isEmpty())
        return; // no list yet
    // The user's stations are in there: said once, and never written over while it stays so.
    FStationFileUnreadable = true;
    TApplication::Notice(QStringLiteral("The station list \"%1\" cannot be read (%2); it is left "
                                        "as it is and changes to the list are not written")
                             .arg(FStationPath, reason));
}

QString TMainForm::WriteStationFile() {
    if (FStationFileUnreadable) {
        QStringList stored;
        QString reason;
        if (!Stations::LoadStationFile(FStationPath, stored, &reason) && !reason.isEmpty())
            return Stations::CannotCreateText(
                FStationPath, QStringLiteral("The list there cannot be read (%1) and is left as it "
                                             "is.")
                                  .arg(reason));
    }
    QString error;
    if (!Stations::SaveStationFile(FStationPath, ListBoxStations->Lines(), &error))
        return error;
    FStationFileUnreadable = false;
    return QString();
}

bool TMainForm::SaveStations() {
    const QString error = WriteStationFile();
    if (error.isEmpty())
        return true;
    QMessageBox::critical(this, QCoreApplication::applicationName(), error);
    return false;
}

void TMainForm::ShowStationName(int TuneValue) {
    FScreen->SetRDSString(QString());
    const QStringList lines = ListBoxStations->Lines();
    const int index = Stations::FindStation(lines, Stations::FrequencyText(TuneValue));
    FScreen->SetText(index < 0 ? QString() : Stations::DisplayName(Stations::NameOf(lines[index])));
    // The tuned row's look follows the tuning.
    ListBoxStations->viewport()->update();
    emit PlayerStateChanged();
}

TFormStation* TMainForm::StationDialog() {
    if (FormStation)
        return FormStation;
    if (!FOwnStationDialog)
        FOwnStationDialog = new TFormStation(this);
    return FOwnStationDialog;
}

void TMainForm::SpeedButtonAddStationClick() {
    TFormStation* dialog = StationDialog();
    const int tuneValue = TrackBarFMTune->Position() + (FBandFM ? 880 : 659);
    dialog->EditFreq->setText(Stations::FrequencyText(tuneValue));
    dialog->EditName->clear();
    if (dialog->exec() != QDialog::Accepted)
        return;
    const QString freq = Stations::NormaliseFrequency(dialog->EditFreq->text());
    if (Stations::FindStation(ListBoxStations->Lines(), freq) >= 0) {
        ShowMessage(this, QMessageBox::Critical, tr("Предупреждение"),
                    tr("Станция с такой частотой уже есть в списке"));
        return;
    }
    ListBoxStations->AppendLine(freq + u'=' + dialog->EditName->text());
    SaveStations();
    ShowStationName(FScreen->TuneValue());
}

void TMainForm::SpeedButtonEditStationClick() {
    const int index = ListBoxStations->ItemIndex();
    if (index < 0)
        return;
    TFormStation* dialog = StationDialog();
    const QString line = ListBoxStations->Line(index);
    dialog->EditFreq->setText(Stations::FrequencyTextOf(line));
    // A favourite's marker stays in the text, so the mark survives the edit.
    dialog->EditName->setText(Stations::NameOf(line));
    if (dialog->exec() != QDialog::Accepted)
        return;
    const QString freq = Stations::NormaliseFrequency(dialog->EditFreq->text());
    ListBoxStations->SetLine(index, freq + u'=' + dialog->EditName->text());
    SaveStations();
    ShowStationName(FScreen->TuneValue());
}

void TMainForm::SpeedButtonDelStationClick() {
    const int index = ListBoxStations->ItemIndex();
    if (index < 0) {
        ShowMessage(this, QMessageBox::Information, tr("Предупреждение"),
                    tr("Необходимо выбрать запись"));
        return;
    }
    if (ShowMessage(this, QMessageBox::Information, tr("Подтверждение"),
                    tr("Станция будет удалена из списка"),
                    QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    ListBoxStations->DeleteLine(index);
    SaveStations();
}

void TMainForm::SpeedButtonSortListClick() {
    QStringList lines = ListBoxStations->Lines();
    const int selected = ListBoxStations->ItemIndex();
    Stations::SortStations(lines);
    ListBoxStations->SetLines(lines);
    ListBoxStations->SetItemIndex(selected);
    SaveStations();
}

void TMainForm::NListMarkedClick() {
    const int index = ListBoxStations->ItemIndex();
    if (index < 0)
        return;
    // Not written here: the mark reaches the file with the next write.
    ListBoxStations->SetLine(index, Stations::ToggleFavourite(ListBoxStations->Line(index)));
    ListBoxStations->viewport()->update();
}

void TMainForm::ListBoxStationsDblClick() {
    const int index = ListBoxStations->ItemIndex();
    if (index < 0)
        return;
    TuneToFrequency(Stations::FrequencyTextOf(ListBoxStations->Line(index)));
}

void TMainForm::TuneToFrequency(const QString& frequencyText) {
    const Stations::TStationTune tune = Stations::StationTuneTarget(frequencyText);
    // The band is switched even when it stays the same, which first tunes the band's
    // remembered position; the change handler ignores a repeat, so the station is tuned once.
    TrackBarFMTune->SetMax(tune.BandFM ? 200 : 81);
    SpeedButtonFMBand->setChecked(!tune.BandFM);
    SpeedButtonFMBandClick();
    TrackBarFMTune->SetPosition(tune.Position);
    TrackBarFMTuneChange();
}

void TMainForm::ListBoxStationsKeyPress(QChar Key) {
    if (Key == u' ' || Key == u'\r')
        ListBoxStationsDblClick();
}
