#pragma once
// Where the camera window puts a grabbed frame and the portrait-shaped crop
// window over it.

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

struct CaptureGeometry {
    QSize board;      // the photo board
    QPoint pictureAt; // where the frame is drawn on the board (may be negative)
    QRect crop;       // the crop window on the board
};

// Frames wider than 412 pixels use the large board (560 × 450, crop 299 × 417),
// smaller ones the small board (320 × 240, crop 170 × 244); frame and crop are
// centred, fractions dropped.
CaptureGeometry captureGeometryFor(const QSize& frame);

// The crop window's position once held inside the board: a window reaching
// the right or bottom edge is moved back against it, then one past the left
// or top edge is moved to 0.
QPoint heldInsideBoard(const QRect& crop, const QSize& board);

// The width and height of a BMP file's header (bytes 18 and 22, little
// endian; a top-down bitmap's negative height counts as its size), or
// nothing when the bytes are no bitmap.
std::optional<QSize> bitmapSize(const QByteArray& header);
