#include "RawPictures.h"

#include "ImageDecode.h"

#include <QImage>
#include <algorithm>
#include <cstdio>

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The name goes into the generated source as a string literal; a quote, a backslash or a
// character outside ASCII would break it or change its meaning there.
bool IsPlainName(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '_' || c == '-';
    });
}

std::vector<std::uint32_t> PremultipliedPixels(const QImage& decoded) {
    const QImage image = decoded.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::vector<std::uint32_t> pixels;
    pixels.reserve(std::size_t(image.width()) * std::size_t(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        pixels.insert(pixels.end(), row, row + image.width());
    }
    return pixels;
}

void AppendPixels(std::string& source, const std::vector<std::uint32_t>& pixels) {
    constexpr std::size_t PerLine = 8;
    char value[16];
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        source += i % PerLine == 0 ? "    " : " ";
        std::snprintf(value, sizeof value, "0x%08xu,", unsigned(pixels[i]));
        source += value;
        if (i % PerLine == PerLine - 1 || i + 1 == pixels.size())
            source += '\n';
    }
}

} // namespace

std::optional<RawPicture> DecodePicture(const std::string& name, const QByteArray& bytes,
                                        std::string* error) {
    if (!IsPlainName(name)) {
        *error = "the file name may hold only ASCII letters, digits, '.', '_' and '-'";
        return std::nullopt;
    }
    const bool png = EndsWith(name, ".png");
    if (!png && !EndsWith(name, ".jpg")) {
        *error = "neither a .png nor a .jpg file";
        return std::nullopt;
    }
    const QImage image = png ? ImageDecode::DecodePng(bytes) : ImageDecode::DecodeJpeg(bytes);
    if (image.isNull()) {
        *error = png ? "not a readable PNG picture" : "not a readable JPEG picture";
        return std::nullopt;
    }
    return RawPicture{name, image.width(), image.height(), PremultipliedPixels(image)};
}

std::string PictureSource(const std::vector<RawPicture>& pictures) {
    std::string source =
        "// Generated from resources/pictures by orvalen_embed_pictures; do not edit.\n"
        "#include \"PictureData.h\"\n\n#include <cstring>\n\nnamespace {\n\n";
    std::string table;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const RawPicture& picture = pictures[i];
        const std::string array = "Pixels" + std::to_string(i);
        source += "// " + picture.Name + ", " + std::to_string(picture.Width) + " x " +
                  std::to_string(picture.Height) + "\nconst std::uint32_t " + array + "[] = {\n";
        AppendPixels(source, picture.Pixels);
        source += "};\n\n";
        table += "    {\"" + picture.Name + "\", " + std::to_string(picture.Width) + ", " +
                 std::to_string(picture.Height) + ", " + array + "},\n";
    }
    // An array cannot be empty: without pictures the table holds one entry without pixels.
    if (table.empty())
        table = "    {\"\", 0, 0, nullptr},\n";
    source += "const TEmbeddedPicture Pictures[] = {\n" + table + "};\n\n} // namespace\n\n";
    source += "const TEmbeddedPicture* FindEmbeddedPicture(const char* name) {\n"
              "    for (const TEmbeddedPicture& picture : Pictures)\n"
              "        if (picture.Pixels && std::strcmp(picture.Name, name) == 0)\n"
              "            return &picture;\n"
              "    return nullptr;\n"
              "}\n";
    return source;
}
