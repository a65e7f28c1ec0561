// The application's icon for the desktop: the tuner screen (a dark display with the
// frequency readout and the signal bars) in its blue case.
#pragma once

#include <QImage>
#include <array>

// The sizes the icon theme gets, each drawn for its own pixel grid.
inline constexpr std::array<int, 8> AppIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

// The icon at size × size pixels.
QImage DrawAppIcon(int size);
