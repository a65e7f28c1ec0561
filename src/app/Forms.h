#pragma once

// The program's windows: created once at start-up, in this order, and afterwards only shown
// and hidden. Each pointer is set for the life of the application.
class TMainForm;
class TOptionsForm;
class TFormStation;
class TFormAbout;
class TFormEqualizer;

extern TMainForm* MainForm;
extern TOptionsForm* OptionsForm;
extern TFormStation* FormStation;
extern TFormAbout* FormAbout;
extern TFormEqualizer* FormEqualizer;
