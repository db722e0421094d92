#include "photofixture.h"

#include "photos/photostore.h"

#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QTemporaryDir>

namespace {

const QDateTime may6{QDate(2013, 5, 6), QTime(14, 3, 9)};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool hasPicture(const QLabel& label)
{
    return !label.pixmap().isNull();
}

// A registration with a photo row and its file; gives the registration id.
int registrationWithPhoto(PhotoFixture& f, const QString& storedName)
{
    f.run(QStringLiteral("INSERT INTO bmb (xm,imgid) values ('张三',0)"));
    const int registration = f.queryValue(QStringLiteral("select max(id) from bmb")).toInt();
    f.run(QStringLiteral("INSERT INTO fj (uid,filename,status) values (%1,'%2',1)").arg(registration).arg(storedName));
    const QString photoRow = f.queryValue(QStringLiteral("select max(id) from fj"));
    f.run(QStringLiteral("UPDATE bmb SET imgid=%1 where id=%2").arg(photoRow).arg(registration));
    const QString path = photoPath(f.dir.path(), storedName);
    QDir().mkpath(QFileInfo(path).absolutePath());
    writeTestImage(path, QSize(30, 40), "JPG");
    return registration;
}

} // namespace

class PhotoStoreTest : public QObject {
    Q_OBJECT
private slots:
    void storedNamesAndPaths_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<QString>("storedName");
        QTest::addColumn<QString>("path");
        QTest::newRow("jpg in May") << QStringLiteral("C:\\pics\\a.jpg") << may6
                                   << QStringLiteral("5\\56b0c3fcdf45a844f5afadbedc3d73f2.jpg")
                                   << QStringLiteral("/p/photo/5/56b0c3fcdf45a844f5afadbedc3d73f2.jpg");
        QTest::newRow("jpeg in December") << QStringLiteral("/home/z/x.jpeg") << QDateTime(QDate(2013, 12, 1), QTime(0, 0))
                                          << QStringLiteral("12\\79790b9892cbe2f20cc472b61beee53cjpeg")
                                          << QStringLiteral("/p/photo/12/79790b9892cbe2f20cc472b61beee53cjpeg");
    }
    void storedNamesAndPaths()
    {
        QFETCH(QString, chosen);
        QFETCH(QDateTime, moment);
        QFETCH(QString, storedName);
        QFETCH(QString, path);
        QCOMPARE(storedNameForChosenFile(chosen, moment), storedName);
        QCOMPARE(photoPath(QStringLiteral("/p"), storedName), path);
    }

    void theTimeMakesEveryNameNew()
    {
        const QString path = QStringLiteral("C:\\pics\\a.jpg");
        const QString first = storedNameForChosenFile(path, may6);
        QVERIFY(first != storedNameForChosenFile(path, may6.addSecs(1)));
        QVERIFY(first != storedNameForChosenFile(QStringLiteral("C:\\pics\\b.jpg"), may6));
        const QString camera = storedNameForCameraPhoto(QStringLiteral("/tmp/18c.tmp.bmp"), may6);
        QVERIFY(camera.startsWith(QStringLiteral("5\\")));
        QVERIFY(camera.endsWith(QStringLiteral(".jpg")));
        QCOMPARE(camera.size(), 2 + 32 + 4);
    }

    void statementsAreWrittenLetterByLetter()
    {
        QCOMPARE(photoRowsStatement(12), QStringLiteral("select * from fj where uid=12"));
        QCOMPARE(photoFileOfStatement(12), QStringLiteral("select * from fj where uid= 12"));
        QCOMPARE(deletePhotoRowStatement(7), QStringLiteral("delete * from fj where id=7"));
        QCOMPARE(clearPhotoMarkStatement(12), QStringLiteral("UPDATE bmb SET imgid=0 where id=12"));
    }

    void onlyNamesInsideThePhotoFolderAreRemovable_data()
    {
        QTest::addColumn<QString>("storedName");
        QTest::addColumn<bool>("removable");
        QTest::newRow("month file") << QStringLiteral("5\\0123.jpg") << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("blanks") << QStringLiteral("  ") << false;
        QTest::newRow("a month folder") << QStringLiteral("5\\") << false;
        QTest::newRow("the database above") << QStringLiteral("..\\zhao.dat") << false;
        QTest::newRow("climbing out") << QStringLiteral("5\\..\\..\\zhao.dat") << false;
        QTest::newRow("absolute") << QStringLiteral("/etc/passwd") << false;
        QTest::newRow("the no-photo picture") << QStringLiteral("NOIMG.JPG") << false;
    }
    void onlyNamesInsideThePhotoFolderAreRemovable()
    {
        QFETCH(QString, storedName);
        QFETCH(bool, removable);
        QCOMPARE(isRemovableStoredName(storedName), removable);
    }

    // The add page's story: choose a photo, choose another, clear.
    void choosingCopiesIntoTheStoreAndClearingForgetsIt()
    {
        PhotoFixture f;
        QTemporaryDir source;
        const QString first = writeTestImage(source.filePath(QStringLiteral("a.jpg")), QSize(300, 400), "JPG");
        const QString second = writeTestImage(source.filePath(QStringLiteral("b.bmp")), QSize(64, 48), "BMP");
        QLabel picture;
        picture.resize(120, 160);

        QString pending = acceptPhotoFile(f.state, first, &picture, may6);
        QCOMPARE(pending, storedNameForChosenFile(first, may6));
        QCOMPARE(f.photoFiles(), QStringList{QString(pending).replace(QLatin1Char('\\'), QLatin1Char('/'))});
        QCOMPARE(fileBytes(photoPath(f.dir.path(), pending)), fileBytes(first));
        QVERIFY(hasPicture(picture));
        QVERIFY(picture.pixmap().width() <= 120 && picture.pixmap().height() <= 160);

        // Through the dialog, with the current time: a second photo gets a
        // new name, the first file stays; a cancelled dialog gives none.
        QString answer = second;
        PhotoFileDialogOverride dialog([&answer] { return answer; });
        const QString secondName = choosePhotoFile(f.state, &picture);
        QVERIFY(!secondName.isEmpty() && secondName != pending);
        QVERIFY(secondName.endsWith(QStringLiteral(".bmp")));
        QCOMPARE(f.photoFiles().size(), 2);
        pending = secondName;
        answer.clear();
        QCOMPARE(choosePhotoFile(f.state, &picture), QString());
        QVERIFY(hasPicture(picture));
        QVERIFY(f.messages.messages().isEmpty());

        clearAddPagePhoto(pending, &picture);
        QVERIFY(pending.isEmpty());
        QVERIFY(!hasPicture(picture));
        QCOMPARE(f.photoFiles().size(), 2);
    }

    // An ordinary camera photo is far beyond what the image reader decodes at
    // full size by default; it is decoded at the size it is shown at, and the
    // file itself is copied as it is.
    void aCameraSizedPhotoIsAcceptedAndCopiedAsItIs()
    {
        PhotoFixture f;
        QTemporaryDir source;
        const QString chosen = writeFlatJpeg(source.filePath(QStringLiteral("camera.jpg")), QSize(8000, 6000));
        QVERIFY2(QImageReader(chosen).read().isNull(), "the test photo is beyond the reader's default limit");
        QLabel picture;
        picture.resize(120, 160);

        const QString stored = acceptPhotoFile(f.state, chosen, &picture, may6);
        QVERIFY(f.messages.messages().isEmpty());
        QCOMPARE(stored, storedNameForChosenFile(chosen, may6));
        const QString copy = photoPath(f.dir.path(), stored);
        QCOMPARE(fileBytes(copy), fileBytes(chosen));
        QVERIFY(hasPicture(picture));
        QCOMPARE(picture.pixmap().size(), QSize(120, 90));
        // The flat colour, give or take what JPEG rounds.
        const QColor shown = picture.pixmap().toImage().pixelColor(60, 45);
        QVERIFY2(qAbs(shown.red() - 40) <= 3 && qAbs(shown.green() - 120) <= 3 && qAbs(shown.blue() - 200) <= 3,
                 qPrintable(shown.name()));

        // The edit window shows a stored photo the same way.
        QLabel editPicture;
        editPicture.resize(90, 120);
        QVERIFY(showPhotoIn(&editPicture, copy));
        QCOMPARE(editPicture.pixmap().size(), QSize(90, 67));
    }

    void unusableChoicesAreRefusedAndChangeNothing_data()
    {
        QTest::addColumn<QString>("content");  // empty: no such file
        QTest::addColumn<bool>("photoFolderIsAFile");
        QTest::addColumn<QString>("messageStart");
        QTest::addColumn<int>("style");
        QTest::newRow("text named .jpg") << QStringLiteral("not a picture") << false
                                         << QStringLiteral("所选文件不是可以显示的图片") << int(MessageStyle::Exclamation);
        QTest::newRow("missing file") << QString() << false << QStringLiteral("所选文件不是可以显示的图片")
                                      << int(MessageStyle::Exclamation);
        QTest::newRow("photo folder cannot be made") << QString() << true << QStringLiteral("照片保存失败")
                                                     << int(MessageStyle::Error);
    }
    void unusableChoicesAreRefusedAndChangeNothing()
    {
        QFETCH(QString, content);
        QFETCH(bool, photoFolderIsAFile);
        QFETCH(QString, messageStart);
        QFETCH(int, style);
        PhotoFixture f;
        QTemporaryDir source;
        QString chosen = source.filePath(QStringLiteral("x.jpg"));
        if (photoFolderIsAFile) {
            writeTestImage(chosen, QSize(10, 10), "JPG");
            QFile blocker(f.dir.file(QStringLiteral("photo")));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        } else if (!content.isEmpty()) {
            QFile file(chosen);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content.toUtf8());
        }
        QLabel picture;
        picture.setPixmap(QPixmap(10, 10));
        QVERIFY(acceptPhotoFile(f.state, chosen, &picture, may6).isEmpty());
        QCOMPARE(f.messages.messages().size(), 1);
        QVERIFY2(f.messages.messages()[0].text.startsWith(messageStart), qPrintable(f.messages.messages()[0].text));
        QCOMPARE(f.messages.messages()[0].style, style);
        QVERIFY(hasPicture(picture));
        QVERIFY(f.photoFiles().isEmpty());
    }

    // The edit window's story: the record's photo is found, cleared at once,
    // and gone from the database and the disk.
    void clearingAStoredPhotoRemovesRowMarkAndFile()
    {
        PhotoFixture f;
        const int registration = registrationWithPhoto(f, QStringLiteral("5\\aaaa.jpg"));
        const int other = registrationWithPhoto(f, QStringLiteral("6\\bbbb.jpg"));
        QCOMPARE(photoFileOf(f.state, registration), QStringLiteral("5\\aaaa.jpg"));
        QLabel picture;
        picture.setPixmap(QPixmap(10, 10));
        QString pending = QStringLiteral("5\\chosen.jpg");

        clearStoredPhoto(f.state, registration, pending, &picture);
        QVERIFY(!hasPicture(picture));
        QVERIFY(pending.isEmpty());
        QCOMPARE(f.reporter.results, (QStringList{QStringLiteral("图片清除成功"), QStringLiteral("图片清除成功")}));
        QVERIFY(f.reporter.messages.isEmpty());
        QCOMPARE(f.queryValue(QStringLiteral("select imgid from bmb where id=%1").arg(registration)), QStringLiteral("0"));
        QCOMPARE(f.queryValue(QStringLiteral("select count(*) from fj where uid=%1").arg(registration)), QStringLiteral("0"));
        QCOMPARE(photoFileOf(f.state, registration), QString());
        QCOMPARE(f.photoFiles(), QStringList{QStringLiteral("6/bbbb.jpg")});
        QCOMPARE(photoFileOf(f.state, other), QStringLiteral("6\\bbbb.jpg"));
    }

    void clearingWithoutAPhotoRowChangesNothing()
    {
        PhotoFixture f;
        f.run(QStringLiteral("INSERT INTO bmb (xm,imgid) values ('李四',0)"));
        const int registration = f.queryValue(QStringLiteral("select max(id) from bmb")).toInt();
        QLabel picture;
        QString pending;
        clearStoredPhoto(f.state, registration, pending, &picture);
        clearStoredPhoto(f.state, 0, pending, &picture);
        QVERIFY(f.reporter.messages.isEmpty());
        QVERIFY(f.reporter.results.isEmpty());
        QCOMPARE(f.queryValue(QStringLiteral("select count(*) from bmb")), QStringLiteral("1"));
    }

    void aStoredNameOutsideThePhotoFolderIsNeverRemoved()
    {
        PhotoFixture f;
        QString pending;
        const int registration = registrationWithPhoto(f, QStringLiteral("5\\cccc.jpg"));
        f.run(QStringLiteral("UPDATE fj SET filename='..\\zhao.dat'"));
        clearStoredPhoto(f.state, registration, pending, nullptr);
        QCOMPARE(f.queryValue(QStringLiteral("select count(*) from fj")), QStringLiteral("0"));
        QVERIFY(QFile::exists(f.dir.databasePath()));
    }

    void databaseFailuresAreReported()
    {
        PhotoFixture f;
        QString pending;
        const int registration = registrationWithPhoto(f, QStringLiteral("5\\dddd.jpg"));
        // The mark cannot be cleared: the fj row is gone, the file stays.
        QVERIFY(f.runAsAnotherClient("CREATE TRIGGER refuse BEFORE UPDATE ON bmb BEGIN SELECT RAISE(ABORT, 'bmb is locked'); END"));
        clearStoredPhoto(f.state, registration, pending, nullptr);
        QCOMPARE(f.reporter.results, (QStringList{QStringLiteral("图片清除成功"), QStringLiteral("图片清除失败")}));
        QCOMPARE(f.reporter.messages, QStringList{QStringLiteral("bmb is locked")});
        QCOMPARE(f.reporter.styles[0], int(MessageStyle::Error));
        QCOMPARE(f.photoFiles(), QStringList{QStringLiteral("5/dddd.jpg")});

        // Without the fj table neither the lookup nor the clearing can open it.
        f.reporter.messages.clear();
        f.reporter.styles.clear();
        f.reporter.results.clear();
        QVERIFY(f.run(QStringLiteral("DROP TABLE fj")));
        QCOMPARE(photoFileOf(f.state, registration), QString());
        QCOMPARE(f.reporter.messages.size(), 1);
        QVERIFY(f.reporter.messages[0].contains(QStringLiteral("fj")));
        QCOMPARE(f.reporter.styles[0], int(MessageStyle::Error));
        clearStoredPhoto(f.state, registration, pending, nullptr);
        QCOMPARE(f.reporter.messages.size(), 2);
        QCOMPARE(f.reporter.messages[1], QStringLiteral("数据库打开失败"));
        QCOMPARE(f.reporter.styles[1], int(MessageStyle::SystemModal));
        QVERIFY(f.reporter.results.isEmpty());
    }

    void aFailingRowDeletionStopsBeforeTheMark()
    {
        PhotoFixture f;
        QString pending;
        const int registration = registrationWithPhoto(f, QStringLiteral("5\\eeee.jpg"));
        QVERIFY(f.runAsAnotherClient("CREATE TRIGGER keep BEFORE DELETE ON fj BEGIN SELECT RAISE(ABORT, 'fj is kept'); END"));
        clearStoredPhoto(f.state, registration, pending, nullptr);
        QCOMPARE(f.reporter.results, QStringList{QStringLiteral("图片清除失败")});
        QCOMPARE(f.reporter.messages, QStringList{QStringLiteral("fj is kept")});
        QCOMPARE(f.reporter.styles[0], int(MessageStyle::Error | MessageStyle::SystemModal));
        QVERIFY(f.queryValue(QStringLiteral("select imgid from bmb where id=%1").arg(registration)) != QStringLiteral("0"));
        QCOMPARE(f.photoFiles(), QStringList{QStringLiteral("5/eeee.jpg")});
    }
};

BRENVO_TEST(PhotoStoreTest)
#include "test_photostore.moc"
