#include "photofixture.h"

#include "photos/camerawindow.h"
#include "photos/captureservice.h"
#include "photos/jpegfile.h"
#include "photos/photostore.h"
#include "platform/inifile.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {

const QString grabFailed = QStringLiteral("照片发生错误，保存图片失败，请联系客服。");
const QString notSupported = QStringLiteral("硬件不支持此功能或未初始化！");

QStringList frameFilesInTemp()
{
    return QDir(QDir::tempPath()).entryList({QStringLiteral("*.tmp.bmp")}, QDir::Files);
}

QByteArray bmpBytes(const QSize& size)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImage(size, QImage::Format_RGB32).save(&buffer, "BMP");
    return bytes;
}

// Colours equal within what JPEG compression changes.
bool nearlyEqual(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) < 24 && qAbs(qGreen(a) - qGreen(b)) < 24 && qAbs(qBlue(a) - qBlue(b)) < 24;
}

// Runs `step` on the camera window once it is open modally; the window lets
// pending messages run while it is being built, so it is looked for again
// until it is there.
void whenCameraWindowOpens(std::function<void(CameraWindow&)> step, int attempts = 200)
{
    QTimer::singleShot(10, [step, attempts] {
        auto* window = qobject_cast<CameraWindow*>(QApplication::activeModalWidget());
        if (window)
            step(*window);
        else if (attempts > 0)
            whenCameraWindowOpens(step, attempts - 1);
    });
}

// The first value of a JPEG file's first quantization table: the DC step of
// the luminance table, 16 × (200 − 2 × quality) / 100 for qualities from 50 up;
// 0 when the file has no such table.
int firstQuantizer(const QByteArray& jpeg)
{
    const int table = int(jpeg.indexOf("\xff\xdb"));
    return table < 0 || table + 5 >= jpeg.size() ? 0 : quint8(jpeg[table + 5]);
}

// A camera window on a synthetic source, as the add page opens it.
struct Camera {
    PhotoFixture f;
    SyntheticCaptureService service;
    QPushButton cameraButton;
    QLabel picture;
    std::unique_ptr<CameraWindow> window;

    explicit Camera(QVector<QSize> sources = {QSize(640, 480)}) : service(std::move(sources))
    {
        picture.resize(120, 160);
    }
    CameraWindow& open()
    {
        cameraButton.setEnabled(false);
        window = std::make_unique<CameraWindow>(f.state, service, &picture, &cameraButton);
        window->show();
        return *window;
    }
    void click(const char* name) { window->findChild<QPushButton*>(QString::fromUtf8(name))->click(); }
    QComboBox* sourceList() { return window->findChild<QComboBox*>(QStringLiteral("组合框_视频来源")); }
    CropWindow* crop() { return window->cropWindow(); }
    // Drags the crop window with the left button by `offset`; the window
    // follows the pointer, so the button comes up over the same grip.
    void drag(const QPoint& offset)
    {
        const QPoint grip(20, 20);
        QTest::mousePress(crop(), Qt::LeftButton, {}, grip);
        QTest::mouseMove(crop(), grip + offset);
        QTest::mouseRelease(crop(), Qt::LeftButton, {}, grip);
    }
    void verifyCropShowsTheBoard()
    {
        QCOMPARE(crop()->picture(), window->board()->pixelsUnder(crop()->geometry()));
    }
};

} // namespace

class CameraWindowTest : public QObject {
    Q_OBJECT
private slots:
    void geometryFollowsTheFrameWidth_data()
    {
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QSize>("board");
        QTest::addColumn<QPoint>("pictureAt");
        QTest::addColumn<QRect>("crop");
        QTest::newRow("640×480") << QSize(640, 480) << QSize(560, 450) << QPoint(-40, -15) << QRect(130, 16, 299, 417);
        QTest::newRow("320×240") << QSize(320, 240) << QSize(320, 240) << QPoint(0, 0) << QRect(75, -2, 170, 244);
        QTest::newRow("412 wide is small") << QSize(412, 300) << QSize(320, 240) << QPoint(-46, -30)
                                           << QRect(75, -2, 170, 244);
        QTest::newRow("413 wide is large") << QSize(413, 300) << QSize(560, 450) << QPoint(73, 75)
                                           << QRect(130, 16, 299, 417);
        QTest::newRow("1280×720") << QSize(1280, 720) << QSize(560, 450) << QPoint(-360, -135)
                                  << QRect(130, 16, 299, 417);
    }
    void geometryFollowsTheFrameWidth()
    {
        QFETCH(QSize, frame);
        QFETCH(QSize, board);
        QFETCH(QPoint, pictureAt);
        QFETCH(QRect, crop);
        const CaptureGeometry geometry = captureGeometryFor(frame);
        QCOMPARE(geometry.board, board);
        QCOMPARE(geometry.pictureAt, pictureAt);
        QCOMPARE(geometry.crop, crop);
    }

    void theCropWindowIsHeldInsideTheBoard_data()
    {
        QTest::addColumn<QRect>("crop");
        QTest::addColumn<QSize>("board");
        QTest::addColumn<QPoint>("held");
        const QSize small(320, 240);
        const QSize large(560, 450);
        QTest::newRow("small, taller than the board") << QRect(75, 30, 170, 244) << small << QPoint(75, 0);
        QTest::newRow("small, first placement") << QRect(75, -2, 170, 244) << small << QPoint(75, 0);
        QTest::newRow("past the right edge") << QRect(500, 16, 299, 417) << large << QPoint(261, 16);
        QTest::newRow("past the bottom edge") << QRect(130, 100, 299, 417) << large << QPoint(130, 33);
        QTest::newRow("past the left and top edges") << QRect(-30, -5, 299, 417) << large << QPoint(0, 0);
        QTest::newRow("inside") << QRect(10, 10, 299, 417) << large << QPoint(10, 10);
    }
    void theCropWindowIsHeldInsideTheBoard()
    {
        QFETCH(QRect, crop);
        QFETCH(QSize, board);
        QFETCH(QPoint, held);
        QCOMPARE(heldInsideBoard(crop, board), held);
    }

    void bitmapHeadersAreRead_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");  // invalid: no bitmap
        QByteArray topDown = bmpBytes(QSize(64, 48));
        const qint32 negative = -48;
        topDown.replace(22, 4, QByteArray(reinterpret_cast<const char*>(&negative), 4));
        QTest::newRow("640×480") << bmpBytes(QSize(640, 480)) << QSize(640, 480);
        QTest::newRow("top-down 64×48") << topDown << QSize(64, 48);
        QTest::newRow("no bitmap") << QByteArray("no frame at all, just text") << QSize();
        QTest::newRow("header cut short") << bmpBytes(QSize(8, 8)).left(20) << QSize();
        QTest::newRow("empty file") << QByteArray() << QSize();
    }
    void bitmapHeadersAreRead()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        const std::optional<QSize> read = bitmapSize(bytes);
        QCOMPARE(read.has_value(), size.isValid());
        if (read)
            QCOMPARE(*read, size);
    }

    void jpegFilesDecodeAtTheirSize()
    {
        QTemporaryDir dir;
        const QImage image = SyntheticCaptureService::frame(QSize(170, 244));
        const QString bmp = dir.filePath(QStringLiteral("a.bmp"));
        QVERIFY(image.save(bmp, "BMP"));
        const QString jpeg = dir.filePath(QStringLiteral("a.jpg"));
        QVERIFY(convertBmpToJpeg(bmp, jpeg, 75));
        QImage decoded(jpeg, "JPG");
        QCOMPARE(decoded.size(), QSize(170, 244));
        QVERIFY(nearlyEqual(decoded.pixel(20, 30), image.pixel(20, 30)));
        QFile written(jpeg);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(firstQuantizer(written.readAll()), 8);

        QVERIFY(!convertBmpToJpeg(jpeg, dir.filePath(QStringLiteral("b.jpg")), 75));
        QVERIFY(!writeJpegFile(image, dir.filePath(QStringLiteral("no/such/folder/c.jpg")), 75));
        QVERIFY(!writeJpegFile(QImage(), dir.filePath(QStringLiteral("d.jpg")), 75));
    }

    // The add page's story: grab, keep the centred crop, close; the crop is
    // in the store as the pending photo and shown on the page.
    void aTakenPhotoIsStoredWhenTheWindowCloses()
    {
        Camera camera;
        const QStringList framesBefore = frameFilesInTemp();
        camera.open();
        QVERIFY(!camera.cameraButton.isEnabled());
        camera.click("拍照按钮");
        QVERIFY(camera.window->photoTaken());
        QCOMPARE(camera.window->board()->size(), QSize(560, 450));
        QCOMPARE(camera.crop()->geometry(), QRect(130, 16, 299, 417));
        QVERIFY(camera.crop()->isVisible());
        const QImage frame = SyntheticCaptureService::frame(QSize(640, 480));
        QCOMPARE(camera.window->board()->picture().pixel(0, 0), frame.pixel(40, 15));
        QCOMPARE(camera.window->board()->picture().pixel(559, 449), frame.pixel(599, 464));
        camera.verifyCropShowsTheBoard();

        camera.window->close();
        QVERIFY(camera.cameraButton.isEnabled());
        QVERIFY(camera.f.messages.messages().isEmpty());
        const QString stored = camera.window->storedPhoto();
        QVERIFY(stored.startsWith(QString::number(QDate::currentDate().month()) + QLatin1Char('\\')));
        QVERIFY(stored.endsWith(QStringLiteral(".jpg")));
        QCOMPARE(camera.f.photoFiles(), QStringList{QString(stored).replace(QLatin1Char('\\'), QLatin1Char('/'))});
        QFile storedFile(photoPath(camera.f.dir.path(), stored));
        QVERIFY(storedFile.open(QIODevice::ReadOnly));
        QCOMPARE(firstQuantizer(storedFile.readAll()), 8);
        const QImage jpeg(storedFile.fileName(), "JPG");
        QCOMPARE(jpeg.size(), QSize(299, 417));
        QVERIFY(nearlyEqual(jpeg.pixel(10, 10), frame.pixel(40 + 130 + 10, 15 + 16 + 10)));
        QVERIFY(!camera.picture.pixmap().isNull());
        QCOMPARE(frameFilesInTemp(), framesBefore);
    }

    void draggingKeepsTheCropOnTheBoard()
    {
        Camera camera({QSize(320, 240)});
        camera.open();
        camera.click("拍照按钮");
        QCOMPARE(camera.window->board()->size(), QSize(320, 240));
        QCOMPARE(camera.crop()->geometry(), QRect(75, -2, 170, 244));

        camera.drag(QPoint(-20, 30));
        QCOMPARE(camera.crop()->pos(), QPoint(55, 0));
        camera.verifyCropShowsTheBoard();
        camera.drag(QPoint(200, 0));
        QCOMPARE(camera.crop()->pos(), QPoint(150, 0));
        camera.verifyCropShowsTheBoard();
        camera.drag(QPoint(-400, -50));
        QCOMPARE(camera.crop()->pos(), QPoint(0, 0));
        camera.verifyCropShowsTheBoard();

        // The stored photo is the crop where it was left.
        camera.window->close();
        const QImage jpeg(photoPath(camera.f.dir.path(), camera.window->storedPhoto()), "JPG");
        QCOMPARE(jpeg.size(), QSize(170, 244));
        QVERIFY(nearlyEqual(jpeg.pixel(5, 5), SyntheticCaptureService::frame(QSize(320, 240)).pixel(5, 5)));
    }

    void nothingIsStoredWithoutAFrameOnTheBoard_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("closed at once") << QStringList() << QStringList();
        QTest::newRow("taken, then cleared") << QStringList{"take", "clear"} << QStringList();
        QTest::newRow("grab failed") << QStringList{"fail"} << QStringList{grabFailed};
        QTest::newRow("taken, then a grab failed") << QStringList{"take", "fail"} << QStringList{grabFailed};
    }
    void nothingIsStoredWithoutAFrameOnTheBoard()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, messages);
        Camera camera;
        const QStringList framesBefore = frameFilesInTemp();
        camera.open();
        for (const QString& step : steps) {
            camera.service.grabWritesGarbage = step == QStringLiteral("fail");
            camera.click(step == QStringLiteral("clear") ? "清除照片按钮" : "拍照按钮");
        }
        QVERIFY(!camera.window->photoTaken());
        QVERIFY(!camera.crop()->isVisible());
        camera.window->close();
        QCOMPARE(camera.f.messages.texts(), messages);
        for (const RecordedMessage& message : camera.f.messages.messages())
            QCOMPARE(message.style, int(MessageStyle::SystemModal));
        QCOMPARE(camera.window->storedPhoto(), QString());
        QVERIFY(camera.f.photoFiles().isEmpty());
        QVERIFY(camera.picture.pixmap().isNull());
        QVERIFY(camera.cameraButton.isEnabled());
        QCOMPARE(frameFilesInTemp(), framesBefore);
    }

    void aFailedJpegIsReportedAndLeavesThePendingPhoto()
    {
        Camera camera;
        QVERIFY(QDir().mkpath(camera.f.dir.file(QStringLiteral("photo"))));
        QFile blocker(camera.f.dir.file(QStringLiteral("photo/") + QString::number(QDate::currentDate().month())));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        camera.open();
        camera.click("拍照按钮");
        camera.window->close();
        QCOMPARE(camera.f.messages.messages().size(), 1);
        QVERIFY(camera.f.messages.messages()[0].text.startsWith(QStringLiteral("照片保存失败")));
        QCOMPARE(camera.window->storedPhoto(), QString());
        QVERIFY(camera.cameraButton.isEnabled());
    }

    void theRememberedSourceIsConnected_data()
    {
        QTest::addColumn<QString>("sply");  // empty: no key
        QTest::addColumn<int>("connected");
        QTest::addColumn<int>("selected");
        QTest::newRow("none remembered") << QString() << 0 << -1;
        QTest::newRow("zero") << QStringLiteral("0") << 0 << -1;
        QTest::newRow("the second") << QStringLiteral("2") << 1 << 1;
        QTest::newRow("one no longer installed") << QStringLiteral("7") << -1 << -1;
    }
    void theRememberedSourceIsConnected()
    {
        QFETCH(QString, sply);
        QFETCH(int, connected);
        QFETCH(int, selected);
        Camera camera({QSize(640, 480), QSize(320, 240), QSize(800, 600)});
        if (!sply.isEmpty())
            writeIniValue(camera.f.state.iniPath, QStringLiteral("sply"), sply);
        camera.open();
        QCOMPARE(camera.sourceList()->count(), 3);
        QCOMPARE(camera.sourceList()->itemText(2), QStringLiteral("视频设备3"));
        QCOMPARE(camera.sourceList()->itemData(2).toInt(), 3);
        QCOMPARE(camera.service.connectedSource(), connected);
        QCOMPARE(camera.sourceList()->currentIndex(), selected);
        QLabel* preview = camera.window->findChild<QLabel*>(QStringLiteral("视频设备1"));
        QCOMPARE(preview->pixmap().isNull(), connected < 0);
        QCOMPARE(readIniValue(camera.f.state.iniPath, QStringLiteral("sply"), QStringLiteral("<none>")),
                 sply.isEmpty() ? QStringLiteral("<none>") : sply);

        camera.sourceList()->setCurrentIndex(2);
        QCOMPARE(camera.service.connectedSource(), 2);
        QTRY_VERIFY(!preview->pixmap().isNull());
        QCOMPARE(preview->pixmap().size(), QSize(160, 120));
        QCOMPARE(readIniValue(camera.f.state.iniPath, QStringLiteral("sply"), QString()), QStringLiteral("3"));
        camera.click("拍照按钮");
        QCOMPARE(camera.window->board()->size(), QSize(560, 450));
        QCOMPARE(camera.crop()->geometry(), QRect(130, 16, 299, 417));
    }

    void theSourceDialogsAreShownWhereOffered()
    {
        Camera camera;
        camera.open();
        camera.click("视频输入按钮");
        camera.click("视频格式按钮");
        QCOMPARE(camera.service.sourceDialogsShown, 1);
        QCOMPARE(camera.service.formatDialogsShown, 1);
        QVERIFY(camera.f.messages.messages().isEmpty());

        camera.service.offersDialogs = false;
        camera.click("视频输入按钮");
        camera.click("视频格式按钮");
        QCOMPARE(camera.f.messages.texts(), (QStringList{notSupported, notSupported}));
        QCOMPARE(camera.f.messages.messages()[0].title, QStringLiteral("提示"));
        QCOMPARE(camera.f.messages.messages()[0].style, int(MessageStyle::Information));
        QCOMPARE(camera.service.sourceDialogsShown, 1);
    }

    // Without any capture source, the window opens and every button answers.
    void aMachineWithoutCamerasGetsAnswers_data()
    {
        QTest::addColumn<bool>("devices");
        QTest::newRow("synthetic, no source") << false;
        QTest::newRow("this machine's devices") << true;
    }
    void aMachineWithoutCamerasGetsAnswers()
    {
        QFETCH(bool, devices);
        PhotoFixture f;
        std::unique_ptr<CaptureService> service =
            devices ? createDeviceCaptureService() : std::make_unique<SyntheticCaptureService>(QVector<QSize>{});
        if (devices && service->sourceCount() > 0)
            QSKIP("this machine has a camera");
        QPushButton cameraButton;
        QLabel picture;
        CameraWindow window(f.state, *service, &picture, &cameraButton);
        window.show();
        QCOMPARE(window.findChild<QComboBox*>(QStringLiteral("组合框_视频来源"))->count(), 0);
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("标签1"))->text(), QStringLiteral("注:摄像头如失败请更改设备后再试"));
        for (const char* name : {"视频输入按钮", "视频格式按钮", "拍照按钮", "清除照片按钮"})
            window.findChild<QPushButton*>(QString::fromUtf8(name))->click();
        QCOMPARE(f.messages.texts(), (QStringList{notSupported, notSupported, grabFailed}));
        window.close();
        QCOMPARE(window.storedPhoto(), QString());
        QVERIFY(f.photoFiles().isEmpty());
    }

    // The camera button's own function: the button is off while the window
    // is open, and the photo taken is shown and its stored name given.
    void theCameraButtonOpensTheWindowModally()
    {
        PhotoFixture f;
        CaptureServiceOverride synthetic([] {
            return std::make_unique<SyntheticCaptureService>(QVector<QSize>{QSize(640, 480)});
        });
        QWidget editWindow;
        auto* cameraButton = new QPushButton(QStringLiteral("拍照"), &editWindow);
        auto* picture = new QLabel(&editWindow);
        picture->resize(120, 160);
        editWindow.show();

        bool buttonOffWhileOpen = false;
        whenCameraWindowOpens([&](CameraWindow& window) {
            buttonOffWhileOpen = !cameraButton->isEnabled();
            window.findChild<QPushButton*>(QStringLiteral("拍照按钮"))->click();
            window.close();
        });
        const QString taken = takeCameraPhoto(f.state, cameraButton, picture);
        QVERIFY(buttonOffWhileOpen);
        QVERIFY(cameraButton->isEnabled());
        QVERIFY(taken.endsWith(QStringLiteral(".jpg")));
        QCOMPARE(f.photoFiles(), QStringList{QString(taken).replace(QLatin1Char('\\'), QLatin1Char('/'))});
        QVERIFY(!picture->pixmap().isNull());
    }
};

BRENVO_TEST(CameraWindowTest)
#include "test_camerawindow.moc"
