#pragma once
// A program directory with a fresh database opened into an AppState, an
// operator of the founder group and a reporter that records what is shown.

#include "core/appstate.h"
#include "core/lists.h"
#include "platform/messagebox.h"
#include "printing/previewwindow.h"
#include "support/testsupport.h"

#include <QSignalSpy>
#include <QWebEngineView>
#include <QtTest>

struct RecordingReporter : Reporter {
    QStringList results;
    QVector<RecordedMessage> messages;
    void showResult(const QString& text) override { results << text; }
    int showMessage(const QString& text, int style, const QString& title) override
    {
        messages.push_back({text, style, title});
        return AnswerOk;
    }
};

struct PrintingFixture {
    TestProgramDir dir;
    AppState state;
    RecordingReporter reporter;
    MessageRecorder boxes;

    PrintingFixture()
    {
        state.programDir = dir.path();
        state.iniPath = dir.file(QStringLiteral("duzarizered.ini"));
        state.reporter = &reporter;
        state.currentOperator = {1, QStringLiteral("admin"), 1};
        createConnection(state.db.connection);
        createRecordSet(state.db.sharedRecordSet);
        createRecordSet(state.db.browseRecordSet);
        if (!state.db.connection->openDatabase(connectionStringFor(dir.path())))
            qFatal("cannot open the test database");
    }
    ~PrintingFixture() { closePrintPreview(); }

    bool execute(const QString& sql)
    {
        const bool ok = state.db.execute(sql);
        if (!ok)
            qWarning("%s: %s", qPrintable(sql), qPrintable(state.db.lastErrorText()));
        return ok;
    }
    QString queryValue(const QString& sql)
    {
        if (!state.db.openShared(sql) || state.db.shared().atEnd())
            return QStringLiteral("<none>");
        return state.db.shared().readText(0);
    }
    int lastId(const QString& table)
    {
        return queryValue(QStringLiteral("select id from ") + table + QStringLiteral(" order by id desc")).toInt();
    }
    // A template stored in its encoded form; gives its id.
    int addTemplate(const QString& title, const QString& html, int enabled = 1, int order = 0);
    // A registration with the given columns; gives its id.
    int addRegistration(const QVector<QPair<QString, QString>>& columns);
};

// Waits for the preview window's browser to finish loading its document.
bool waitForDocument(PrintPreviewWindow& window, int timeoutMs = 30000);
