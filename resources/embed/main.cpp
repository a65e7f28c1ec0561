// Compiles the program's pictures into it: decodes each PNG and JPEG file named on the
// command line and writes a C++ source holding their pixels. Run by the build.
//   orvalen_embed_pictures <output .cpp> <picture>...
#include "EmbedFiles.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output .cpp> <picture>...\n", argv[0]);
        return 2;
    }
    std::string error;
    if (!EmbedPictureFiles(std::vector<std::string>(argv + 2, argv + argc), argv[1], &error)) {
        std::fprintf(stderr, "error: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
