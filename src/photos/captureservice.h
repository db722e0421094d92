#pragma once
// The video capture service the camera window talks to: a small interface
// with two implementations, the machine's cameras through Qt Multimedia and a
// synthetic source that draws its own frames (for tests and for machines
// where a camera is to be simulated).

#include <QImage>
#include <QSize>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>

class QWidget;

class CaptureService {
public:
    virtual ~CaptureService() = default;

    // The installed sources, at most ten.
    virtual int sourceCount() = 0;
    // Connects to source `number` (0-based) and starts it; false when there
    // is no such source, and then no source is connected.
    virtual bool connectSource(int number) = 0;
    virtual bool isConnected() const = 0;
    // The newest frame of the connected source; a null image when there is none.
    virtual QImage currentFrame() = 0;
    // Writes the current frame as a BMP file; false when there is no frame
    // or the file cannot be written.
    virtual bool saveFrame(const QString& path);

    // The source's own settings dialog and its video format (resolution)
    // dialog, where the connected source offers them.
    virtual bool hasSourceDialog() const = 0;
    virtual void showSourceDialog(QWidget* parent) = 0;
    virtual bool hasFormatDialog() const = 0;
    virtual void showFormatDialog(QWidget* parent) = 0;
};

// The cameras of the machine through Qt Multimedia.
std::unique_ptr<CaptureService> createDeviceCaptureService();

// Frames drawn by the program: one source per frame size given.
class SyntheticCaptureService : public CaptureService {
public:
    explicit SyntheticCaptureService(QVector<QSize> frameSizes);

    int sourceCount() override { return int(sizes.size()); }
    bool connectSource(int number) override;
    bool isConnected() const override { return connected >= 0; }
    QImage currentFrame() override;
    bool saveFrame(const QString& path) override;
    bool hasSourceDialog() const override { return isConnected() && offersDialogs; }
    void showSourceDialog(QWidget*) override { ++sourceDialogsShown; }
    bool hasFormatDialog() const override { return isConnected() && offersDialogs; }
    void showFormatDialog(QWidget*) override { ++formatDialogsShown; }

    // The pattern of a frame of the given size: the same pixels every time.
    static QImage frame(const QSize& size);

    int connectedSource() const { return connected; }
    bool offersDialogs = true;
    // The grab writes a file that is no bitmap, as a failing driver does.
    bool grabWritesGarbage = false;
    int sourceDialogsShown = 0;
    int formatDialogsShown = 0;

private:
    QVector<QSize> sizes;
    int connected = -1;
};

// The service the camera window uses: the devices', or the one a
// CaptureServiceOverride makes while it exists.
std::unique_ptr<CaptureService> createCaptureService();

class CaptureServiceOverride {
public:
    explicit CaptureServiceOverride(std::function<std::unique_ptr<CaptureService>()> make);
    ~CaptureServiceOverride();
    CaptureServiceOverride(const CaptureServiceOverride&) = delete;
    CaptureServiceOverride& operator=(const CaptureServiceOverride&) = delete;

private:
    std::function<std::unique_ptr<CaptureService>()> previous;
};
