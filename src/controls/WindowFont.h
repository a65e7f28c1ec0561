#pragma once

// The face of the windows' own texts (captions, labels, the station list, the dialogs).
//
// Where texts are drawn 1:1 (device pixel ratio 1) it is the "MS Sans Serif" bitmap face,
// exactly as the windows have always used it. That face has a single 13-pixel strike: at any
// other ratio its glyphs come out at their device size while the spacing is scaled, so a text
// looks like small letters spread apart. There a scalable sans face takes its place, with the
// weight asked for and sized so that a text is as wide as in the bitmap face; the windows'
// fixed layouts go on fitting.

#include <QFont>

// The window face asked for at a pixel size or a point size, for this application's screens.
QFont WindowFont(int pixelSize);
QFont WindowFontInPoints(int points);

// The face to draw `bitmap` with at `devicePixelRatio`: `bitmap` itself at 1, else the
// scalable face that stands in for it.
QFont WindowFontFor(const QFont& bitmap, qreal devicePixelRatio);
