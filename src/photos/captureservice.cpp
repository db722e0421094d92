#include "photos/captureservice.h"

#include <QFile>
#include <QPainter>

namespace {

std::function<std::unique_ptr<CaptureService>()>& serviceOverride()
{
    static std::function<std::unique_ptr<CaptureService>()> make;
    return make;
}

} // namespace

bool CaptureService::saveFrame(const QString& path)
{
    const QImage frame = currentFrame();
    return !frame.isNull() && frame.save(path, "BMP");
}

SyntheticCaptureService::SyntheticCaptureService(QVector<QSize> frameSizes) : sizes(std::move(frameSizes)) {}

bool SyntheticCaptureService::connectSource(int number)
{
    connected = number >= 0 && number < sizes.size() ? number : -1;
    return isConnected();
}

QImage SyntheticCaptureService::currentFrame()
{
    return isConnected() ? frame(sizes[connected]) : QImage();
}

bool SyntheticCaptureService::saveFrame(const QString& path)
{
    if (!grabWritesGarbage)
        return CaptureService::saveFrame(path);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("no frame") > 0;
}

QImage SyntheticCaptureService::frame(const QSize& size)
{
    // A gradient, so every pixel tells where it came from, with a head and
    // shoulders in the middle, so a crop looks like a portrait.
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb(x * 255 / qMax(1, size.width() - 1), y * 255 / qMax(1, size.height() - 1), 160);
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(250, 220, 190));
    const int w = size.width();
    const int h = size.height();
    painter.drawEllipse(QPoint(w / 2, h * 2 / 5), w / 10, h / 6);
    painter.setBrush(QColor(40, 60, 110));
    painter.drawRoundedRect(QRect(w / 2 - w / 6, h * 3 / 5, w / 3, h / 2), w / 20, w / 20);
    return image;
}

std::unique_ptr<CaptureService> createCaptureService()
{
    return serviceOverride() ? serviceOverride()() : createDeviceCaptureService();
}

CaptureServiceOverride::CaptureServiceOverride(std::function<std::unique_ptr<CaptureService>()> make)
    : previous(std::move(serviceOverride()))
{
    serviceOverride() = std::move(make);
}

CaptureServiceOverride::~CaptureServiceOverride()
{
    serviceOverride() = std::move(previous);
}
