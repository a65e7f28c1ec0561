// The station list's part of the main window. First version: an empty list; the station
// file and its operations plug in here.
#include "UnitMain.h"

void TMainForm::CreateStationControls() {}
void TMainForm::LoadStations() {}
bool TMainForm::SaveStations() {
    return true;
}
void TMainForm::ShowStationName(int) {}
