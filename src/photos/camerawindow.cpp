#include "photos/camerawindow.h"

#include "photos/captureservice.h"
#include "photos/jpegfile.h"
#include "photos/photostore.h"
#include "platform/events.h"
#include "platform/files.h"
#include "platform/inifile.h"
#include "platform/messagebox.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

namespace {

constexpr int previewMilliseconds = 60;
constexpr int jpegQuality = 75;

constexpr Qt::GlobalColor emptyBoard = Qt::white;

QPushButton* addButton(QWidget* parent, const char* name, const char* caption, const QRect& geometry)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setGeometry(geometry);
    return button;
}

QGroupBox* addGroup(QWidget* parent, const char* name, const char* caption, const QRect& geometry)
{
    auto* group = new QGroupBox(QString::fromUtf8(caption), parent);
    group->setObjectName(QString::fromUtf8(name));
    group->setGeometry(geometry);
    return group;
}

void notSupported()
{
    messageBox(QStringLiteral("硬件不支持此功能或未初始化！"), MessageStyle::Information, QStringLiteral("提示"));
}

} // namespace

// --- the photo board and the crop window -------------------------------------

PhotoBoard::PhotoBoard(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("画板_照片"));
    setGeometry(8, 16, 560, 450);
    clearBoard();
}

void PhotoBoard::clearBoard()
{
    canvas = QImage(size(), QImage::Format_RGB32);
    canvas.fill(emptyBoard);
    update();
}

void PhotoBoard::showFrame(const QImage& frame, const CaptureGeometry& geometry)
{
    resize(geometry.board);
    clearBoard();
    QPainter painter(&canvas);
    painter.drawImage(geometry.pictureAt, frame);
}

QImage PhotoBoard::pixelsUnder(const QRect& area) const
{
    QImage pixels(area.size(), QImage::Format_RGB32);
    pixels.fill(emptyBoard);
    QPainter painter(&pixels);
    painter.drawImage(-area.topLeft(), canvas);
    return pixels;
}

void PhotoBoard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, canvas);
}

CropWindow::CropWindow(QWidget* board) : QWidget(board)
{
    setObjectName(QStringLiteral("画板_选中"));
    setCursor(Qt::SizeAllCursor);
}

void CropWindow::setPicture(const QImage& picture)
{
    image = picture;
    update();
}

void CropWindow::clearPicture()
{
    image = QImage(size(), QImage::Format_RGB32);
    image.fill(emptyBoard);
    update();
}

void CropWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, image);
    // The outline only marks the window on screen; it is not part of the photo.
    painter.setPen(QPen(Qt::red, 1, Qt::DashLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CropWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    dragging = true;
    pressGlobal = event->globalPosition().toPoint();
    pressPosition = pos();
}

void CropWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging)
        move(pressPosition + event->globalPosition().toPoint() - pressGlobal);
}

void CropWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (!dragging || event->button() != Qt::LeftButton)
        return;
    dragging = false;
    move(pressPosition + event->globalPosition().toPoint() - pressGlobal);
    emit dragFinished();
}

// --- the window --------------------------------------------------------------

CameraWindow::CameraWindow(const AppState& appState, CaptureService& captureService, QLabel* targetBox,
                           QPushButton* button, QWidget* parent)
    : QDialog(parent), state(appState), service(captureService), target(targetBox), cameraButton(button)
{
    setWindowTitle(QStringLiteral("拍照"));
    setFixedSize(800, 534);

    QGroupBox* photoGroup = addGroup(this, "分组框2", "照片选择区", QRect(8, 8, 579, 493));
    photoBoard = new PhotoBoard(photoGroup);
    crop = new CropWindow(photoBoard);
    crop->hide();
    connect(crop, &CropWindow::dragFinished, this, &CameraWindow::holdCropInsideBoard);

    QGroupBox* previewGroup = addGroup(this, "分组框3", "预览", QRect(605, 13, 176, 144));
    preview = new QLabel(previewGroup);
    preview->setObjectName(QStringLiteral("视频设备1"));
    preview->setGeometry(8, 16, 160, 120);
    preview->setAlignment(Qt::AlignCenter);
    preview->setAutoFillBackground(true);
    QPalette dark = preview->palette();
    dark.setColor(QPalette::Window, Qt::black);
    preview->setPalette(dark);

    QGroupBox* deviceGroup = addGroup(this, "分组框4", "设备选择", QRect(605, 173, 176, 56));
    sources = new QComboBox(deviceGroup);
    sources->setObjectName(QStringLiteral("组合框_视频来源"));
    sources->setGeometry(8, 24, 160, 20);

    QGroupBox* settingsGroup = addGroup(this, "分组框5", "设置", QRect(605, 245, 176, 96));
    connect(addButton(settingsGroup, "视频输入按钮", "设置选项", QRect(8, 16, 160, 32)), &QPushButton::clicked, this,
            &CameraWindow::showSourceDialog);
    connect(addButton(settingsGroup, "视频格式按钮", "分 辨 率", QRect(8, 47, 160, 32)), &QPushButton::clicked, this,
            &CameraWindow::showFormatDialog);
    connect(addButton(this, "拍照按钮", "拍    照", QRect(605, 368, 176, 38)), &QPushButton::clicked, this,
            &CameraWindow::takePhoto);
    connect(addButton(this, "清除照片按钮", "清    除", QRect(605, 405, 176, 38)), &QPushButton::clicked, this,
            &CameraWindow::clearPhoto);

    auto* hint = new QLabel(QStringLiteral("注:摄像头如失败请更改设备后再试"), this);
    hint->setObjectName(QStringLiteral("标签1"));
    hint->move(597, 464);
    hint->adjustSize();

    // The sources, numbered from 1; "sply" remembers the last one chosen
    // (0: none yet, the first source is used without being shown as chosen).
    const int count = service.sourceCount();
    for (int i = 1; i <= count; ++i)
        sources->addItem(QStringLiteral("视频设备") + QString::number(i), i);
    const int remembered = readIniValue(state.iniPath, QStringLiteral("sply"), QStringLiteral("0")).toInt();
    service.connectSource(remembered == 0 ? 0 : remembered - 1);
    sources->setCurrentIndex(remembered >= 1 && remembered <= count ? remembered - 1 : -1);
    connect(sources, &QComboBox::currentIndexChanged, this, &CameraWindow::connectChosenSource);

    connect(&previewTimer, &QTimer::timeout, this, &CameraWindow::refreshPreview);
    processPendingMessages();
    startPreview();
}

void CameraWindow::connectChosenSource(int position)
{
    if (position < 0)
        return;
    service.connectSource(position);
    writeIniValue(state.iniPath, QStringLiteral("sply"), QString::number(position + 1));
    processPendingMessages();
    startPreview();
}

void CameraWindow::startPreview()
{
    previewTimer.start(previewMilliseconds);
    refreshPreview();
}

void CameraWindow::refreshPreview()
{
    const QImage frame = service.currentFrame();
    if (frame.isNull()) {
        preview->clear();
        return;
    }
    preview->setPixmap(QPixmap::fromImage(frame.scaled(preview->size(), Qt::KeepAspectRatio, Qt::FastTransformation)));
}

void CameraWindow::showSourceDialog()
{
    if (service.isConnected() && service.hasSourceDialog())
        service.showSourceDialog(this);
    else
        notSupported();
}

void CameraWindow::showFormatDialog()
{
    if (service.isConnected() && service.hasFormatDialog())
        service.showFormatDialog(this);
    else
        notSupported();
}

void CameraWindow::takePhoto()
{
    // Only a frame actually on the board counts as a photo taken, so a failed
    // grab never stores an empty crop as the applicant's photo.
    taken = false;
    crop->clearPicture();
    crop->raise();

    const QString frameFile = uniqueTempFileName(QStringLiteral(".bmp"));
    QDir().mkpath(state.programDir + QStringLiteral("/photo"));
    service.saveFrame(frameFile);
    QByteArray header;
    QFile file(frameFile);
    if (file.open(QIODevice::ReadOnly))
        header = file.read(26);
    file.close();
    const std::optional<QSize> frameSize = bitmapSize(header);
    QImage frame;
    if (frameSize)
        frame.load(frameFile, "BMP");
    QFile::remove(frameFile);
    if (frame.isNull()) {
        photoBoard->clearBoard();
        crop->hide();
        messageBox(QStringLiteral("照片发生错误，保存图片失败，请联系客服。"), MessageStyle::SystemModal);
        return;
    }

    const CaptureGeometry geometry = captureGeometryFor(*frameSize);
    photoBoard->showFrame(frame, geometry);
    crop->setGeometry(geometry.crop);
    crop->setPicture(photoBoard->pixelsUnder(crop->geometry()));
    crop->show();
    crop->raise();
    taken = true;
}

void CameraWindow::clearPhoto()
{
    photoBoard->clearBoard();
    crop->clearPicture();
    crop->hide();
    taken = false;
}

void CameraWindow::holdCropInsideBoard()
{
    crop->setPicture(photoBoard->pixelsUnder(crop->geometry()));
    crop->raise();
    const QPoint held = heldInsideBoard(crop->geometry(), photoBoard->size());
    if (held != crop->pos()) {
        crop->move(held);
        crop->setPicture(photoBoard->pixelsUnder(crop->geometry()));
    }
}

void CameraWindow::done(int result)
{
    if (!closingDone) {
        closingDone = true;
        previewTimer.stop();
        if (cameraButton)
            cameraButton->setEnabled(true);
        if (taken)
            storePhoto();
    }
    QDialog::done(result);
}

void CameraWindow::storePhoto()
{
    const QString cropFile = uniqueTempFileName(QStringLiteral(".bmp"));
    const QString name = storedNameForCameraPhoto(cropFile, QDateTime::currentDateTime());
    const QString jpegFile = photoPath(state.programDir, name);
    const bool stored = crop->picture().save(cropFile, "BMP") && QDir().mkpath(QFileInfo(jpegFile).absolutePath())
        && convertBmpToJpeg(cropFile, jpegFile, jpegQuality);
    QFile::remove(cropFile);
    if (!stored) {
        messageBox(QStringLiteral("照片保存失败，无法写入") + QDir::toNativeSeparators(jpegFile), MessageStyle::Error);
        return;
    }
    storedName = name;
    showPhotoIn(target, jpegFile);
}

QString takeCameraPhoto(const AppState& state, QPushButton* cameraButton, QLabel* target)
{
    if (cameraButton)
        cameraButton->setEnabled(false);
    const std::unique_ptr<CaptureService> service = createCaptureService();
    CameraWindow window(state, *service, target, cameraButton, cameraButton ? cameraButton->window() : nullptr);
    window.exec();
    return window.storedPhoto();
}
