// Our own small PNG and JPEG readers: the program's pictures are decoded with libpng and
// libjpeg rather than Qt's image plugins, so that what is shipped is what is tested.
#pragma once

#include <QByteArray>
#include <QImage>

namespace ImageDecode {

// A PNG of any colour type and bit depth, as Format_ARGB32 (transparency kept).
// A null image when the bytes are not a readable PNG.
QImage DecodePng(const QByteArray& bytes);

// A baseline or progressive JPEG, as Format_RGB32. A null image on any decoding error.
QImage DecodeJpeg(const QByteArray& bytes);

} // namespace ImageDecode
