#pragma once

// Makes the window faces available: the "MS Sans Serif" bitmap face from its file (fontconfig
// does not list it) and a Palatino design for "Book Antiqua". A missing face falls back to
// the system's own.
void SetupApplicationFonts();
