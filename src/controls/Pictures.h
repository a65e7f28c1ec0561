// Every picture the program shows, from the pictures built into the program
// (resources/pictures, drawn by resources/generator). They are compiled in as the pixels the
// painter takes (Format_ARGB32_Premultiplied), so each image here is a read-only view of
// constant data: nothing is decoded or copied to show one, and changing one changes a copy of
// it. GUI thread only.
#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

namespace Pictures {

// Button, tray and menu images, 16 × 16, index 0..14: 0 tray while disconnected, 1 window
// and tray while connected, 2/3 power off/on, 4/5 disconnected/connected, 6/7 sound/muted,
// 8/9 stereo up/down, 10/11 bass off/on, 12 the "Выход" menu item, 13/14 equalizer up/down.
QImage ImageList1(int index);

// Station list images, 16 × 16, index 0..6: add, edit, delete, sort, favourite, FM mark,
// UKV mark.
QImage ImageList2(int index);

// Slider pictures, item 0..4: FM scale 240 × 32, tuning needle 3 × 48, UKV scale 240 × 32,
// volume scale 125 × 22, volume knob 10 × 22. The pointers stay valid for the program's
// life (the sliders keep them as references); null for an unknown item.
const QImage* TrackBarImage(int item);

// Equalizer slider pictures: the slide 18 × 140 and the knob 18 × 10 (stable pointers).
const QImage* EqualizerSlide();
const QImage* EqualizerKnob();

// The equalizer window's icon, 16 × 16.
QImage EqualizerIcon();

// The program's icon at 64 × 64 (the desktop icon; image 1 of ImageList1 is its 16-pixel
// form).
QImage WindowIcon();

// The application's icon: the one the installed icon theme has under "orvalen", else the
// built-in pictures of the same drawing (16 to 256 pixels), each turned into a pixmap only
// when a size is asked for.
QIcon ApplicationIcon();

// The About window's colour picture of the device, 110 × 124.
QImage AboutPicture();

// The main window's About ("О программе") button image, an "i" in a round badge, 16 × 16.
QImage AboutButton();

// The main window's Options ("Настройки") button image, a gear, 16 × 16.
QImage OptionsButton();

// The main window's station-list ("Список станций") button image, a list, 16 × 16.
QImage ListButton();

// The built-in picture of that file name ("about.jpg"); a transparent picture of the given
// size when it is missing or not of that size.
QImage Load(const QString& name, int width, int height);

} // namespace Pictures
