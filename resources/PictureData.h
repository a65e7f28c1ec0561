// The pictures built into the program, by file name ("about.jpg", "imagelist1_00.png"): the
// committed files of resources/pictures, decoded when the program is built into the pixels
// the painter takes as they are, so that showing one needs no decoder and no copy.
#pragma once

#include <cstdint>

struct TEmbeddedPicture {
    const char* Name;
    int Width;
    int Height;
    // Width × Height values, row after row, each 0xAARRGGBB in the machine's byte order with
    // the colour multiplied by alpha: the layout of QImage::Format_ARGB32_Premultiplied.
    const std::uint32_t* Pixels;
};

// The picture of that file name, or nullptr when none is built in.
const TEmbeddedPicture* FindEmbeddedPicture(const char* name);
