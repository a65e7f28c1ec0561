// The program's pictures as the painter takes them: decoded once, when the program is built,
// into 32-bit premultiplied ARGB values that are compiled into the executable.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RawPicture {
    std::string Name;
    int Width = 0;
    int Height = 0;
    // Width × Height values, row after row, each 0xAARRGGBB with the colour multiplied by
    // alpha (QImage::Format_ARGB32_Premultiplied).
    std::vector<std::uint32_t> Pixels;
};

// The picture in the bytes of a PNG or JPEG file; `name` is the file's name, whose ending
// tells which of the two it is. Nothing, with the reason in `error`, when the name cannot
// stand in the generated source or the bytes are not a readable picture of that kind.
std::optional<RawPicture> DecodePicture(const std::string& name, const QByteArray& bytes,
                                        std::string* error);

// The C++ source of the pictures: their sizes and pixels as constant data, and
// FindEmbeddedPicture (PictureData.h) over them by name.
std::string PictureSource(const std::vector<RawPicture>& pictures);
