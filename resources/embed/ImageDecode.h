// Our own small PNG and JPEG readers, used while the program is built to turn its committed
// pictures into raw pixels: libpng and libjpeg rather than Qt's image plugins, so that the
// pixels do not depend on which plugins the build machine happens to have.
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
