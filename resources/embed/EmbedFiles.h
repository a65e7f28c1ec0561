// The build step that compiles the picture files into the program.
#pragma once

#include <string>
#include <vector>

// Decodes every file of `files` and writes their source (PictureSource) to `output`. False,
// with the reason and the file it concerns in `error`, when a file cannot be read or decoded
// or the output cannot be written; `output` is then left as it was, so that the build stops
// at this step rather than going on with missing or blank pictures.
bool EmbedPictureFiles(const std::vector<std::string>& files, const std::string& output,
                       std::string* error);
