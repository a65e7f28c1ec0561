// The pictures built into the program, by file name ("about.jpg", "imagelist1_00.png").
#pragma once

#include <cstddef>

struct TEmbeddedPicture {
    const char* Name;
    const unsigned char* Data;
    std::size_t Size;
};

// The picture of that file name, or nullptr when none is built in.
const TEmbeddedPicture* FindEmbeddedPicture(const char* name);
