#include "EmbedFiles.h"

#include "RawPictures.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

namespace {

bool ReadBytes(const std::string& path, QByteArray* bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    const std::string content((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
    if (file.bad())
        return false;
    *bytes = QByteArray(content.data(), qsizetype(content.size()));
    return true;
}

// Written beside the output and renamed over it, so that a failed or interrupted write never
// leaves a truncated source that a later build would take as up to date. An output that
// already holds the text is left alone, so that the large source is not compiled again.
bool WriteWhole(const std::string& path, const std::string& text) {
    QByteArray existing;
    if (ReadBytes(path, &existing) && existing.toStdString() == text)
        return true;
    const std::string temporary = path + ".tmp";
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(text.data(), std::streamsize(text.size()));
    file.close();
    if (!file) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    std::error_code failure;
    std::filesystem::rename(temporary, path, failure);
    return !failure;
}

} // namespace

bool EmbedPictureFiles(const std::vector<std::string>& files, const std::string& output,
                       std::string* error) {
    std::vector<RawPicture> pictures;
    for (const std::string& path : files) {
        QByteArray bytes;
        if (!ReadBytes(path, &bytes)) {
            *error = path + ": cannot be read";
            return false;
        }
        std::string reason;
        std::optional<RawPicture> picture =
            DecodePicture(std::filesystem::path(path).filename().string(), bytes, &reason);
        if (!picture) {
            *error = path + ": " + reason;
            return false;
        }
        pictures.push_back(std::move(*picture));
    }
    if (!WriteWhole(output, PictureSource(pictures))) {
        *error = output + ": cannot be written";
        return false;
    }
    return true;
}
