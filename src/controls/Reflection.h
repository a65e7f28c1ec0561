// The glossy reflection under the tuner screen's top band. The routines work in place on
// 24-bit images whose bytes are blue, green, red (QImage::Format_BGR888), so that the level
// meter's many updates a second cost only a few byte passes.
#pragma once

#include <QImage>

namespace Reflection {

// Rows of the screen's top band that are mirrored, and the first row of the band below it.
inline constexpr int TopBandRows = 37;

// Mirrors the image top to bottom.
void FlipBitmap(QImage& image);

// Darkens row y by 255·y / (2·rows), rounded to the nearest integer (ties to even).
void FadeBitmap(QImage& image);

// Amount FadeBitmap takes off every byte of row y of an image with the given row count.
int FadeAmount(int y, int rows);

// Rebuilds rows 37..55 of the frame from its rows 0..36: the strip (width of the frame,
// TopBandRows rows, same format, allocated by the caller once) receives the top band,
// flipped and faded, and each strip row i is stretched to W + 2i pixels centred on the
// frame and stored in frame row 37 + i / 2 (the later of two rows wins).
void DrawReflection(QImage& frame, QImage& strip);

} // namespace Reflection
