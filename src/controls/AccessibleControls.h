// What assistive technology (screen readers and the like) learns of the program's own
// controls: the image sliders as sliders with a value, the tuner display as a line of text,
// the picture buttons that stay down as push buttons that are pressed or not.
// GUI thread only.
#pragma once

// Registers the controls' accessible interfaces with Qt; once is enough, more calls do
// nothing. The controls call it when they are made.
void InstallAccessibleControls();
