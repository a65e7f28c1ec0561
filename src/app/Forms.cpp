#include "Forms.h"

TMainForm* MainForm = nullptr;
TOptionsForm* OptionsForm = nullptr;
TFormStation* FormStation = nullptr;
TFormAbout* FormAbout = nullptr;
TFormEqualizer* FormEqualizer = nullptr;
