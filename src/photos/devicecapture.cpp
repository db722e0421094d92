// The machine's cameras through Qt Multimedia. Qt offers no driver dialogs:
// the settings dialog is never offered, the format dialog is a choice among
// the resolutions the connected camera reports.
#include "photos/captureservice.h"

#include <QCamera>
#include <QCameraDevice>
#include <QInputDialog>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QVideoFrame>
#include <QVideoSink>

#include <algorithm>

namespace {

constexpr int maximumSources = 10;

QString resolutionText(const QSize& size)
{
    return QStringLiteral("%1 × %2").arg(size.width()).arg(size.height());
}

class DeviceCaptureService : public CaptureService {
public:
    DeviceCaptureService()
    {
        session.setVideoSink(&sink);
        QObject::connect(&sink, &QVideoSink::videoFrameChanged, &sink,
                         [this](const QVideoFrame& frame) { latest = frame.toImage(); });
    }

    ~DeviceCaptureService() override
    {
        session.setCamera(nullptr);
        session.setVideoSink(nullptr);
    }

    int sourceCount() override
    {
        devices = QMediaDevices::videoInputs().mid(0, maximumSources);
        return int(devices.size());
    }

    bool connectSource(int number) override
    {
        session.setCamera(nullptr);
        camera.reset();
        latest = QImage();
        if (number < 0 || number >= devices.size())
            return false;
        camera = std::make_unique<QCamera>(devices[number]);
        session.setCamera(camera.get());
        camera->start();
        return true;
    }

    bool isConnected() const override { return camera != nullptr; }
    QImage currentFrame() override { return latest; }

    bool hasSourceDialog() const override { return false; }
    void showSourceDialog(QWidget*) override {}

    bool hasFormatDialog() const override { return camera && !camera->cameraDevice().videoFormats().isEmpty(); }

    void showFormatDialog(QWidget* parent) override
    {
        if (!hasFormatDialog())
            return;
        QList<QCameraFormat> formats = camera->cameraDevice().videoFormats();
        // One entry per resolution, largest first; of equal resolutions the
        // fastest frame rate is kept.
        std::sort(formats.begin(), formats.end(), [](const QCameraFormat& a, const QCameraFormat& b) {
            const int areaA = a.resolution().width() * a.resolution().height();
            const int areaB = b.resolution().width() * b.resolution().height();
            return areaA != areaB ? areaA > areaB : a.maxFrameRate() > b.maxFrameRate();
        });
        QStringList entries;
        QList<QCameraFormat> choices;
        for (const QCameraFormat& format : formats) {
            const QString text = resolutionText(format.resolution());
            if (!entries.contains(text)) {
                entries << text;
                choices << format;
            }
        }
        const int current = int(entries.indexOf(resolutionText(camera->cameraFormat().resolution())));
        bool chosen = false;
        const QString entry = QInputDialog::getItem(parent, QStringLiteral("分辨率"), QStringLiteral("视频分辨率："), entries,
                                                    std::max(current, 0), false, &chosen);
        if (chosen && entries.contains(entry)) {
            camera->setCameraFormat(choices[entries.indexOf(entry)]);
            latest = QImage();
        }
    }

private:
    // Declared so that the camera goes first, then the session, then the sink
    // the session draws into.
    QList<QCameraDevice> devices;
    QVideoSink sink;
    QMediaCaptureSession session;
    std::unique_ptr<QCamera> camera;
    QImage latest;
};

} // namespace

std::unique_ptr<CaptureService> createDeviceCaptureService()
{
    return std::make_unique<DeviceCaptureService>();
}
