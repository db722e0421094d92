#include "web/webstore.h"

#include "app/statements.h"
#include "core/lists.h"
#include "form/duplicates.h"
#include "photos/jpegfile.h"
#include "photos/photostore.h"
#include "platform/sqlliteral.h"
#include "platform/text.h"
#include "records/recorddisplay.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QUuid>

namespace {

// Photos are kept at most this many pixels on their long side.
constexpr int photoLongSide = 1600;
// A larger picture is refused before it is decoded.
constexpr int maxDecodedSide = 10000;

QString sameText(const QString& text)
{
    return trimBlanks(text).toCaseFolded();
}

} // namespace

bool loadWebForm(AppState& state, const QDateTime& now, WebForm& form)
{
    if (!state.db.openShared(unitSettingsStatement()))
        return false;
    QString unitName;
    if (!state.db.shared().atEnd()) {
        const RecordSet& row = state.db.shared();
        unitName = row.readText("mc");
        state.unitSettings = unitSettingsOf(row);
    }
    if (state.db.shared().readFailed())
        return false;
    loadFormItems(state);
    loadCategoryList(state);
    loadProgrammeList(state);
    if (!state.db.lastErrorText().isEmpty())
        return false;
    form = webForm(unitName.isEmpty() ? QStringLiteral("网上报名") : unitName, state.formItems, state.categoryList,
                   state.programmeList, state.unitSettings, now);
    return true;
}

QString storeUploadedPhoto(AppState& state, const QByteArray& bytes, const QDateTime& now, QString* problem)
{
    if (bytes.size() > maxPhotoBytes) {
        *problem = QStringLiteral("照片不能超过 5 MB");
        return QString();
    }
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    const QSize size = reader.size();
    if ((format != "jpeg" && format != "png") || !size.isValid()) {
        *problem = QStringLiteral("照片须是 JPG 或 PNG 图片");
        return QString();
    }
    if (size.width() > maxDecodedSide || size.height() > maxDecodedSide) {
        *problem = QStringLiteral("照片尺寸过大");
        return QString();
    }
    if (qMax(size.width(), size.height()) > photoLongSide)
        reader.setScaledSize(size.scaled(photoLongSide, photoLongSide, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull()) {
        *problem = QStringLiteral("照片无法读取，请换一张");
        return QString();
    }
    // PNG transparency becomes white, as on paper.
    if (image.hasAlphaChannel()) {
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter painter(&flat);
        painter.drawImage(0, 0, image);
        painter.end();
        image = flat;
    }
    const QString storedName = storedNameForCameraPhoto(QUuid::createUuid().toString(), now);
    const QString path = photoPath(state.programDir, storedName);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !writeJpegFile(image, path, 75)) {
        qWarning("brenvo-web: cannot write the photo %s", qPrintable(path));
        *problem = QStringLiteral("照片保存失败，请稍后再试");
        return QString();
    }
    return storedName;
}

StoreResult storeWebRegistration(AppState& state, const WebForm& form, const Registration& registration,
                                 const QString& photo, int* number)
{
    QVector<FormItem> items;
    for (const WebItem& item : form.items)
        items << item.item;
    bool lookupFailed = false;
    if (const auto duplicate = findLikelyDuplicate(state, items, registration, 0, &lookupFailed)) {
        *number = duplicate->id;
        return StoreResult::Duplicate;
    }
    if (lookupFailed)
        return StoreResult::Failed;
    Registration keyed = registration;
    keyed.saveKey = newSaveKey();
    const SaveResult saved = storeNewRegistration(state, items, keyed, photo);
    if (saved.outcome != SaveOutcome::Stored && saved.outcome != SaveOutcome::AlreadyStored)
        return StoreResult::Failed;
    *number = int(saved.storedRow);
    return StoreResult::Stored;
}

std::optional<StoredRegistration> readStoredRegistration(AppState& state, const WebForm& form, int number)
{
    if (!state.db.openShared(QStringLiteral("select * from bmb where id=") + sqlInteger(number)))
        return std::nullopt;
    const RecordSet& row = state.db.shared();
    if (row.atEnd() || row.readInteger("status") != 1)
        return std::nullopt;
    StoredRegistration stored;
    for (const WebItem& item : form.items) {
        const QString zd = item.item.zd;
        const QString value = zd == QLatin1String("nl") ? numberToText(row.readNumber(zd)) : row.readText(zd);
        stored.values << qMakePair(item.item.nam, displayValue(state, zd, value));
    }
    if (form.photo)
        stored.values << qMakePair(QStringLiteral("照片"),
                                   row.readInteger("imgid") > 0 ? QStringLiteral("已上传") : QStringLiteral("未上传"));
    stored.review = reviewWord(row.readText("sh"));
    stored.payment = paymentWord(row.readText("fk"));
    return stored;
}

std::optional<QPair<QString, QString>> registrationStates(AppState& state, int number, const QString& proof)
{
    const QString given = sameText(proof);
    if (number <= 0 || given.isEmpty()
        || !state.db.openShared(QStringLiteral("select status,sh,fk,zj,lx1 from bmb where id=") + sqlInteger(number)))
        return std::nullopt;
    const RecordSet& row = state.db.shared();
    if (row.atEnd() || row.readInteger("status") != 1
        || (sameText(row.readText("zj")) != given && sameText(row.readText("lx1")) != given))
        return std::nullopt;
    return qMakePair(reviewWord(row.readText("sh")), paymentWord(row.readText("fk")));
}
