#include "photos/capturegeometry.h"

#include <QtEndian>

#include <cstdlib>

CaptureGeometry captureGeometryFor(const QSize& frame)
{
    const bool large = frame.width() > 412;
    const QSize board = large ? QSize(560, 450) : QSize(320, 240);
    const QSize crop = large ? QSize(299, 417) : QSize(170, 244);
    // Integer division drops the fraction towards zero, as the layout is defined.
    const QPoint pictureAt((board.width() - frame.width()) / 2, (board.height() - frame.height()) / 2);
    const QPoint cropAt((board.width() - crop.width()) / 2, (board.height() - crop.height()) / 2);
    return {board, pictureAt, QRect(cropAt, crop)};
}

QPoint heldInsideBoard(const QRect& crop, const QSize& board)
{
    int left = crop.left();
    int top = crop.top();
    if (left + crop.width() >= board.width())
        left = board.width() - crop.width();
    if (top + crop.height() >= board.height())
        top = board.height() - crop.height();
    if (left < 0)
        left = 0;
    if (top < 0)
        top = 0;
    return {left, top};
}

std::optional<QSize> bitmapSize(const QByteArray& header)
{
    if (header.size() < 26 || !header.startsWith("BM"))
        return std::nullopt;
    const auto* bytes = reinterpret_cast<const uchar*>(header.constData());
    const qint32 width = qFromLittleEndian<qint32>(bytes + 18);
    const qint32 height = qFromLittleEndian<qint32>(bytes + 22);
    if (width <= 0 || height == 0)
        return std::nullopt;
    return QSize(width, std::abs(height));
}
