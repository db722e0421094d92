#include "web/webstore.h"

#include "app/statements.h"
#include "core/lists.h"
#include "form/duplicates.h"
#include "photos/jpegfile.h"
#include "photos/photostore.h"
#include "platform/files.h"
#include "platform/sqlliteral.h"
#include "platform/text.h"
#include "records/recorddisplay.h"
#include "web/guards.h"

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
// A picture of more pixels is refused before it is decoded: what decoding
// it costs grows with them, whatever size it is scaled to.
constexpr qint64 maxDecodedPixels = 40'000'000;

QString sameText(const QString& text)
{
    return trimBlanks(text).toCaseFolded();
}

QVector<FormItem> itemsOf(const WebForm& form)
{
    QVector<FormItem> items;
    for (const WebItem& item : form.items)
        items << item.item;
    return items;
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
    if (qint64(size.width()) * size.height() > maxDecodedPixels) {
        *problem = QStringLiteral("照片尺寸过大");
        return QString();
    }
    // A JPEG is decoded at the scale asked for (libjpeg's scaled decoding),
    // then turned as its EXIF orientation says, as the phone showed it.
    if (qMax(size.width(), size.height()) > photoLongSide)
        reader.setScaledSize(size.scaled(photoLongSide, photoLongSide, Qt::KeepAspectRatio));
    reader.setAutoTransform(true);
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

std::optional<bool> repeatsLiveRegistration(AppState& state, const WebForm& form, const Registration& registration)
{
    bool lookupFailed = false;
    const bool found = findLikelyDuplicate(state, itemsOf(form), registration, 0, &lookupFailed).has_value();
    if (lookupFailed)
        return std::nullopt;
    return found;
}

bool storeWebRegistration(AppState& state, const WebForm& form, const Registration& registration, const QString& photo,
                          int* number)
{
    Registration keyed = registration;
    keyed.saveKey = newSaveKey();
    const SaveResult saved = storeNewRegistration(state, itemsOf(form), keyed, photo);
    if (saved.outcome != SaveOutcome::Stored && saved.outcome != SaveOutcome::AlreadyStored)
        return false;
    *number = int(saved.storedRow);
    return true;
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
    stored.created = row.readDateTime("dtime");
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

QByteArray signingSecret(AppState& state, const QString& name)
{
    const QString lookup = QStringLiteral("select secret from websecret where name=") + sqlText(name);
    // Made by the first instance that needs it; an instance making it at the
    // same moment fails on the unique name and reads the other's.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!state.db.openShared(lookup))
            return QByteArray();
        if (!state.db.shared().atEnd())
            return QByteArray::fromHex(state.db.shared().readText("secret").toLatin1());
        state.db.execute(QStringLiteral("insert into websecret (name,secret) values (%1,%2)")
                             .arg(sqlText(name), sqlText(QString::fromLatin1(randomSecret().toHex()))));
    }
    return QByteArray();
}

bool reopenIfReplaced(AppState& state, QByteArray& openedFile)
{
    if (!state.serverConnection.isEmpty())
        return true;
    const QByteArray now = fileIdentity(state.programFile(QStringLiteral("zhao.dat")));
    if (now.isEmpty() || now == openedFile)
        return true;
    state.db.connection->closeDatabase();
    if (!state.db.connection->openDatabase(connectionStringFor(state.programDir)))
        return false;
    openedFile = now;
    return true;
}
