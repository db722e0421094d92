#include "photos/jpegfile.h"

#include <QSaveFile>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

struct ErrorJump {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void jumpOnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorJump*>(info->err)->jump, 1);
}

// Compresses rows of RGB888 pixels into a buffer malloc'd by libjpeg. No C++
// object lives in this frame, so libjpeg's error jump skips no destructor.
bool compress(const unsigned char* pixels, int width, int height, int bytesPerLine, int quality,
              unsigned char** buffer, unsigned long* size)
{
    jpeg_compress_struct info;
    ErrorJump errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jumpOnError;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(pixels + std::size_t(info.next_scanline) * bytesPerLine);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

bool writeJpegFile(const QImage& image, const QString& path, int quality)
{
    if (image.isNull())
        return false;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool compressed = compress(rgb.constBits(), rgb.width(), rgb.height(), int(rgb.bytesPerLine()), quality,
                                     &buffer, &size);
    bool written = false;
    if (compressed) {
        QSaveFile file(path);
        written = file.open(QIODevice::WriteOnly)
            && file.write(reinterpret_cast<const char*>(buffer), qint64(size)) == qint64(size) && file.commit();
    }
    std::free(buffer);
    return written;
}

bool convertBmpToJpeg(const QString& bmpPath, const QString& jpegPath, int quality)
{
    QImage image;
    return image.load(bmpPath, "BMP") && writeJpegFile(image, jpegPath, quality);
}
