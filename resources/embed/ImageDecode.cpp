#include "ImageDecode.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <png.h>

namespace ImageDecode {

namespace {

// Pictures are small; anything larger is not one of ours.
constexpr png_uint_32 MaxSide = 4096;

struct PngSource {
    const QByteArray* bytes;
    qsizetype pos = 0;
};

void ReadPngBytes(png_structp png, png_bytep out, png_size_t count) {
    auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
    if (qsizetype(count) > src->bytes->size() - src->pos)
        png_error(png, "truncated");
    std::memcpy(out, src->bytes->constData() + src->pos, count);
    src->pos += qsizetype(count);
}

// libpng and libjpeg report errors by longjmp, which must not cross the life of an object
// with a destructor: each step that may fail is a function of plain data, and the QImage is
// created between them.
bool ReadPngHeader(png_structp png, png_infop info, PngSource* source, png_uint_32* width,
                   png_uint_32* height) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, source, ReadPngBytes);
    png_read_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    const int colorType = png_get_color_type(png, info);
    if (png_get_bit_depth(png, info) == 16)
        png_set_strip_16(png);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_expand_gray_1_2_4_to_8(png);
        png_set_gray_to_rgb(png);
    }
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    // Format_ARGB32 is 0xAARRGGBB in a native-endian word: B, G, R, A in memory here.
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return *width > 0 && *height > 0 && *width <= MaxSide && *height <= MaxSide &&
           png_get_rowbytes(png, info) == *width * 4;
}

bool ReadPngRows(png_structp png, png_bytep* rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

} // namespace

QImage DecodePng(const QByteArray& bytes) {
    if (bytes.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.constData()), 0, 8))
        return {};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return {};
    png_infop info = png_create_info_struct(png);
    PngSource source{&bytes};
    png_uint_32 width = 0, height = 0;
    QImage image;
    if (info && ReadPngHeader(png, info, &source, &width, &height)) {
        image = QImage(int(width), int(height), QImage::Format_ARGB32);
        png_bytep rows[MaxSide];
        for (png_uint_32 y = 0; y < height && !image.isNull(); ++y)
            rows[y] = image.scanLine(int(y));
        if (image.isNull() || !ReadPngRows(png, rows))
            image = QImage();
    }
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return image;
}

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void JpegFail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void JpegSilence(j_common_ptr, int) {}

bool ReadJpegHeader(jpeg_decompress_struct* info, JpegError* error, const QByteArray& bytes) {
    if (setjmp(error->jump))
        return false;
    jpeg_mem_src(info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(info, TRUE);
    info->out_color_space = JCS_RGB;
    jpeg_start_decompress(info);
    return info->output_components == 3 && info->output_width > 0 && info->output_height > 0 &&
           info->output_width <= MaxSide && info->output_height <= MaxSide;
}

bool ReadJpegRows(jpeg_decompress_struct* info, JpegError* error, uchar* pixels, qsizetype stride) {
    if (setjmp(error->jump))
        return false;
    JSAMPLE row[MaxSide * 3];
    while (info->output_scanline < info->output_height) {
        auto* out = reinterpret_cast<QRgb*>(pixels + stride * info->output_scanline);
        JSAMPROW rows[1] = {row};
        jpeg_read_scanlines(info, rows, 1);
        for (JDIMENSION x = 0; x < info->output_width; ++x)
            out[x] = qRgb(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
    }
    jpeg_finish_decompress(info);
    return true;
}

} // namespace

QImage DecodeJpeg(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return {};
    jpeg_decompress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = JpegFail;
    error.mgr.emit_message = JpegSilence;
    jpeg_create_decompress(&info);
    QImage image;
    if (ReadJpegHeader(&info, &error, bytes)) {
        image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB32);
        if (image.isNull() || !ReadJpegRows(&info, &error, image.bits(), image.bytesPerLine()))
            image = QImage();
    }
    jpeg_destroy_decompress(&info);
    return image;
}

} // namespace ImageDecode
