#include "photos/photostore.h"

#include "platform/dates.h"
#include "platform/messagebox.h"
#include "platform/text.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>

namespace {

std::function<QString()>& dialogOverride()
{
    static std::function<QString()> choose;
    return choose;
}

QString photoFolder(const QString& programDir)
{
    return programDir + QStringLiteral("/photo");
}

// The image decoded at no more than `room`, its shape kept. A camera photo
// of 8000×6000 pixels is decoded at that size straight away (JPEG decodes
// scaled), so it stays far below the reader's memory limit.
QImage readImage(const QString& path, const QSize& room)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QSize full = reader.size();
    if (full.isValid() && !room.isEmpty() && (full.width() > room.width() || full.height() > room.height()))
        reader.setScaledSize(full.scaled(room, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    return reader.read();
}

// A chosen file is decoded this small to learn that it is a picture at all.
const QSize checkSize(64, 64);

} // namespace

QString photoMonthFolder(const QDateTime& moment)
{
    return QString::number(moment.date().month());
}

QString photoDigest(const QString& sourceText, const QDateTime& moment)
{
    return passwordDigest(sourceText + dateToText(moment));
}

QString storedNameForChosenFile(const QString& chosenPath, const QDateTime& moment)
{
    return photoMonthFolder(moment) + QLatin1Char('\\') + photoDigest(chosenPath, moment) + chosenPath.right(4);
}

QString storedNameForCameraPhoto(const QString& cropFile, const QDateTime& moment)
{
    return photoMonthFolder(moment) + QLatin1Char('\\') + photoDigest(cropFile, moment) + QStringLiteral(".jpg");
}

QString photoPath(const QString& programDir, const QString& storedName)
{
    QString relative = storedName;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return photoFolder(programDir) + QLatin1Char('/') + relative;
}

bool isRemovableStoredName(const QString& storedName)
{
    QString relative = storedName;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString clean = QDir::cleanPath(relative);
    // The picture printed for registrations without a photo is never removed.
    return !trimBlanks(relative).isEmpty() && !relative.endsWith(QLatin1Char('/')) && !QDir::isAbsolutePath(clean)
        && clean != QStringLiteral("..") && !clean.startsWith(QStringLiteral("../")) && clean != QStringLiteral(".")
        && clean.compare(QStringLiteral("noimg.jpg"), Qt::CaseInsensitive) != 0;
}

QString photoDialogFilter()
{
    return QStringLiteral("图象文件(*.jpg *.bmp *.gif);;JPG文件(*.jpg);;BMP文件(*.bmp);;GIF文件(*.gif)");
}

QString askForPhotoFile(QWidget* parent)
{
    if (dialogOverride())
        return dialogOverride()();
    return QFileDialog::getOpenFileName(parent, QString(), QString(), photoDialogFilter());
}

PhotoFileDialogOverride::PhotoFileDialogOverride(std::function<QString()> choose)
    : previous(std::move(dialogOverride()))
{
    dialogOverride() = std::move(choose);
}

PhotoFileDialogOverride::~PhotoFileDialogOverride()
{
    dialogOverride() = std::move(previous);
}

QString acceptPhotoFile(const AppState& state, const QString& chosenPath, QLabel* target, const QDateTime& moment)
{
    if (readImage(chosenPath, checkSize).isNull()) {
        messageBox(QStringLiteral("所选文件不是可以显示的图片：") + QDir::toNativeSeparators(chosenPath)
                       + QStringLiteral("\n请选择JPG、BMP或GIF图片文件。"),
                   MessageStyle::Exclamation);
        return QString();
    }

    const QString storedName = storedNameForChosenFile(chosenPath, moment);
    const QString destination = photoPath(state.programDir, storedName);
    QString failure;
    if (!QDir().mkpath(QFileInfo(destination).absolutePath())) {
        failure = QStringLiteral("无法创建照片目录");
    } else {
        QFile::remove(destination);
        QFile source(chosenPath);
        if (!source.copy(destination)) {
            failure = source.errorString();
            QFile::remove(destination);
        }
    }
    if (!failure.isEmpty()) {
        messageBox(QStringLiteral("照片保存失败，无法复制到") + QDir::toNativeSeparators(destination) + QStringLiteral("：")
                       + failure,
                   MessageStyle::Error);
        return QString();
    }

    showPhotoIn(target, destination);
    return storedName;
}

QString choosePhotoFile(const AppState& state, QLabel* target)
{
    const QString chosen = askForPhotoFile(target ? target->window() : nullptr);
    // A cancelled dialog gives no path.
    if (chosen.size() <= 2)
        return QString();
    return acceptPhotoFile(state, chosen, target);
}

void clearAddPagePhoto(QString& pendingPhoto, QLabel* target)
{
    if (target)
        target->clear();
    pendingPhoto.clear();
}

void clearStoredPhoto(AppState& state, int editRecordId, QString& pendingPhoto, QLabel* target)
{
    if (target)
        target->clear();
    pendingPhoto.clear();

    if (!state.db.openShared(photoRowsStatement(editRecordId))) {
        state.showMessage(QStringLiteral("数据库打开失败"), MessageStyle::SystemModal);
        return;
    }
    RecordSet& rows = state.db.shared();
    if (rows.atEnd())
        return;
    const QString storedName = rows.readText("filename");
    const int photoRowId = rows.readInteger("id");

    if (!executeReported(state, deletePhotoRowStatement(photoRowId), MessageStyle::SystemModal)) {
        state.showResult(QStringLiteral("图片清除失败"));
        return;
    }
    state.showResult(QStringLiteral("图片清除成功"));
    if (!executeReported(state, clearPhotoMarkStatement(editRecordId))) {
        state.showResult(QStringLiteral("图片清除失败"));
        return;
    }
    state.showResult(QStringLiteral("图片清除成功"));

    if (isRemovableStoredName(storedName))
        QFile::remove(photoPath(state.programDir, storedName));
}

QString photoFileOf(AppState& state, int registrationId)
{
    if (!openReported(state, photoFileOfStatement(registrationId)))
        return QString();
    RecordSet& rows = state.db.shared();
    return rows.atEnd() ? QString() : rows.readText("filename");
}

bool putPhotoOnServer(AppState& state, const QString& storedName)
{
    if (state.serverConnection.isEmpty())
        return true;
    // A stored name is made from the file's digest and time: one already on
    // the server holds these bytes.
    if (!openReported(state, photoOnServerStatement(storedName)))
        return false;
    if (!state.db.shared().atEnd())
        return true;
    QFile file(photoPath(state.programDir, storedName));
    if (!file.open(QIODevice::ReadOnly)) {
        state.showMessage(QStringLiteral("照片文件读取失败：") + file.fileName(), MessageStyle::Error);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (!state.db.execute(insertPhotoBytesRowStatement(storedName))
        || !state.db.openShared(photoBytesStatement(storedName), LockMode::Optimistic)
        || !state.db.shared().updateCurrentRow(QStringLiteral("bytes"), bytes)) {
        state.showMessage(state.db.lastErrorForOperator(), MessageStyle::Error);
        return false;
    }
    return true;
}

QString localPhotoFile(AppState& state, const QString& storedName)
{
    const QString path = photoPath(state.programDir, storedName);
    if (state.serverConnection.isEmpty() || storedName.isEmpty() || QFile::exists(path))
        return path;
    // A photo missing on the server leaves the picture empty, as a missing file does.
    if (!state.db.openShared(photoBytesStatement(storedName)) || state.db.shared().atEnd())
        return path;
    const QByteArray bytes = state.db.shared().readBytes("bytes");
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile cached(path);
    if (cached.open(QIODevice::WriteOnly) && cached.write(bytes) == bytes.size())
        cached.commit();
    return path;
}

bool showPhotoIn(QLabel* target, const QString& path)
{
    if (!target)
        return !readImage(path, checkSize).isNull();
    const QSize room = target->contentsRect().size();
    const QImage image = readImage(path, room);
    if (image.isNull()) {
        target->clear();
        return false;
    }
    target->setPixmap(QPixmap::fromImage(image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    return true;
}
