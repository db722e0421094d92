#include "web/qrcode.h"

#include <qrencode.h>

#include <memory>

QString qrCodeSvg(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(bytes.constData(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code)
        return QString();
    const int width = code->width;
    const int quiet = 4;
    // One path of unit squares: a few kilobytes even for long texts.
    QString path;
    for (int y = 0; y < width; ++y)
        for (int x = 0; x < width; ++x)
            if (code->data[y * width + x] & 1)
                path += QStringLiteral("M%1 %2h1v1h-1z").arg(x + quiet).arg(y + quiet);
    const int size = width + 2 * quiet;
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %1 %1\" role=\"img\" "
                          "shape-rendering=\"crispEdges\"><rect width=\"%1\" height=\"%1\" fill=\"#fff\"/>"
                          "<path fill=\"#000\" d=\"%2\"/></svg>")
        .arg(QString::number(size), path);
}
