#pragma once
// The camera window: a live preview of the chosen capture source, one frame
// grabbed onto the photo board with a movable portrait-shaped crop window
// over it, and on closing the crop stored as a JPEG in the photo store; its
// stored name becomes the pending photo of the window that opened the camera.

#include "core/appstate.h"
#include "photos/capturegeometry.h"

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QTimer>

class CaptureService;
class QComboBox;
class QLabel;
class QPushButton;

// The drawing board holding the grabbed frame (画板_照片).
class PhotoBoard : public QWidget {
    Q_OBJECT
public:
    explicit PhotoBoard(QWidget* parent);
    // An empty board of its current size.
    void clearBoard();
    // The board resized to the geometry's board, the frame drawn at its place.
    void showFrame(const QImage& frame, const CaptureGeometry& geometry);
    // The board's pixels under a rectangle; parts outside the board are empty.
    QImage pixelsUnder(const QRect& area) const;
    const QImage& picture() const { return canvas; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage canvas;
};

// The crop window over the board (画板_选中): shows the board's pixels
// beneath it and is dragged with the left mouse button.
class CropWindow : public QWidget {
    Q_OBJECT
public:
    explicit CropWindow(QWidget* board);
    void setPicture(const QImage& image);
    void clearPicture();
    const QImage& picture() const { return image; }

signals:
    void dragFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage image;
    bool dragging = false;
    QPoint pressGlobal;
    QPoint pressPosition;
};

class CameraWindow : public QDialog {
    Q_OBJECT
public:
    // `target` shows the photo once stored; `cameraButton`, disabled by the
    // caller while the window is open, is enabled again on closing.
    CameraWindow(const AppState& state, CaptureService& service, QLabel* target, QPushButton* cameraButton,
                 QWidget* parent = nullptr);

    bool photoTaken() const { return taken; }
    // The stored name of the photo kept on closing; empty when none was.
    const QString& storedPhoto() const { return storedName; }
    PhotoBoard* board() const { return photoBoard; }
    CropWindow* cropWindow() const { return crop; }

    // Closing, however it happens: the camera button back, the photo stored.
    void done(int result) override;

private:
    void connectChosenSource(int position);
    void startPreview();
    void refreshPreview();
    void showSourceDialog();
    void showFormatDialog();
    void takePhoto();
    void clearPhoto();
    void holdCropInsideBoard();
    void storePhoto();

    const AppState& state;
    CaptureService& service;
    QPointer<QLabel> target;
    QPointer<QPushButton> cameraButton;
    bool taken = false;
    bool closingDone = false;
    QString storedName;
    QTimer previewTimer;
    PhotoBoard* photoBoard = nullptr;
    CropWindow* crop = nullptr;
    QLabel* preview = nullptr;
    QComboBox* sources = nullptr;
};

// The camera button of the add page or of the edit window: the button is
// disabled while the window is open; a photo taken is shown in `target`
// (图片框_添加 or 图片框1) and its stored name given, for the caller's
// pending photo. Empty when no photo was stored.
QString takeCameraPhoto(const AppState& state, QPushButton* cameraButton, QLabel* target);
