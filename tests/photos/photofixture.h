#pragma once
// An open state on a fresh program directory (support/openstate.h) with the
// message boxes the photo windows show themselves recorded as well.

#include "platform/messagebox.h"
#include "support/openstate.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QtTest>

#include <sqlite3.h>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

struct PhotoFixture : OpenState {
    MessageRecorder messages;

    PhotoFixture() { state.iniPath = dir.file(QStringLiteral("duzarizered.ini")); }

    QString queryValue(const QString& sql) { return value(sql.toUtf8().constData()); }

    // Runs a statement the program's dialect cannot (a trigger) as another
    // client of zhao.dat; the program's connection sees it at its next statement.
    bool runAsAnotherClient(const char* sql)
    {
        sqlite3* other = nullptr;
        const bool done = sqlite3_open(dir.databasePath().toUtf8().constData(), &other) == SQLITE_OK
            && sqlite3_exec(other, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(other);
        return done;
    }

    // Every file below photo/, as paths relative to it, sorted.
    QStringList photoFiles() const
    {
        QStringList files;
        const QDir photo(dir.file(QStringLiteral("photo")));
        for (const QString& month : photo.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            for (const QString& name : QDir(photo.filePath(month)).entryList(QDir::Files))
                files << month + QLatin1Char('/') + name;
        for (const QString& name : photo.entryList(QDir::Files))
            files << name;
        files.sort();
        return files;
    }
};

// An image file of the given size and format with a recognisable pattern.
inline QString writeTestImage(const QString& path, const QSize& size, const char* format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    for (int x = 0; x < size.width(); ++x)
        image.setPixel(x, x * size.height() / qMax(1, size.width()), qRgb(255, 255, 0));
    if (!image.save(path, format))
        qFatal("cannot write the test image %s", qPrintable(path));
    return path;
}

// A JPEG of one flat colour written row by row, so a camera-sized picture
// (8000×6000) costs a few kilobytes of memory and compresses small.
inline QString writeFlatJpeg(const QString& path, const QSize& size)
{
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        qFatal("cannot write the test image %s", qPrintable(path));
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(size.width());
    info.image_height = JDIMENSION(size.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 75, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(std::size_t(size.width()) * 3);
    for (std::size_t x = 0; x < row.size(); x += 3) {
        row[x] = 40;
        row[x + 1] = 120;
        row[x + 2] = 200;
    }
    JSAMPROW rows[1] = {row.data()};
    while (info.next_scanline < info.image_height)
        jpeg_write_scanlines(&info, rows, 1);
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
    return path;
}
