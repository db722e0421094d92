#pragma once
// JPEG files written with libjpeg.

#include <QImage>
#include <QString>

// Writes the image as a baseline JPEG of the given quality (1-100).
bool writeJpegFile(const QImage& image, const QString& path, int quality);

// Reads a BMP file and writes it as a JPEG file of the given quality.
bool convertBmpToJpeg(const QString& bmpPath, const QString& jpegPath, int quality);
