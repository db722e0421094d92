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
