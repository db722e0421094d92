#pragma once
// A program directory with a fresh database and an AppState opened on it, its
// reports recorded: message boxes through MessageRecorder, status pane 2 as
// the list of texts shown there.

#include "core/appstate.h"
#include "platform/messagebox.h"
#include "support/testsupport.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QStringList>
#include <QtTest>

class RecordingReporter : public Reporter {
public:
    void showResult(const QString& text) override { results << text; }
    int showMessage(const QString& text, int style, const QString& title) override
    {
        return messageBox(text, style, title);
    }
    QStringList results;
};

struct PhotoFixture {
    TestProgramDir dir;
    MessageRecorder messages;
    RecordingReporter reporter;
    AppState state;

    PhotoFixture()
    {
        state.programDir = dir.path();
        state.iniPath = dir.file(QStringLiteral("duzarizered.ini"));
        state.reporter = &reporter;
        if (!createConnection(state.db.connection) || !createRecordSet(state.db.sharedRecordSet)
            || !createRecordSet(state.db.browseRecordSet)
            || !state.db.connection->openDatabase(connectionStringFor(dir.path())))
            qFatal("cannot open the test database");
    }
    ~PhotoFixture() { state.reporter = nullptr; }

    bool execute(const QString& sql) { return state.db.execute(sql); }

    // A one-row, one-column query; "<none>" when there is no row.
    QString queryValue(const QString& sql)
    {
        if (!state.db.openShared(sql) || state.db.shared().atEnd())
            return QStringLiteral("<none>");
        return state.db.shared().readText(0);
    }

    // Every file below photo/, as paths relative to it, sorted.
    QStringList photoFiles() const
    {
        QStringList files;
        const QDir photo(dir.file(QStringLiteral("photo")));
        for (const QString& month : photo.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            for (const QString& name : QDir(photo.filePath(month)).entryList(QDir::Files))
                files << month + QLatin1Char('/') + name;
        for (const QString& name : photo.entryList(QDir::Files))
            files << name;
        files.sort();
        return files;
    }
};

// An image file of the given size and format with a recognisable pattern.
inline QString writeTestImage(const QString& path, const QSize& size, const char* format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    for (int x = 0; x < size.width(); ++x)
        image.setPixel(x, x * size.height() / qMax(1, size.width()), qRgb(255, 255, 0));
    if (!image.save(path, format))
        qFatal("cannot write the test image %s", qPrintable(path));
    return path;
}
