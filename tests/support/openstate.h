#pragma once
// A program directory with a fresh database opened in an AppState whose
// reports are recorded, for tests of the layers below the main window.

#include "core/appstate.h"
#include "platform/messagestyle.h"
#include "support/testsupport.h"

#include <QStringList>

struct RecordingReporter : Reporter {
    QStringList results;
    QStringList messages;
    QList<int> styles;
    int answer = AnswerOk;
    void showResult(const QString& text) override { results << text; }
    int showMessage(const QString& text, int style, const QString&) override
    {
        messages << text;
        styles << style;
        return answer;
    }
};

struct OpenState {
    TestProgramDir dir;
    AppState state;
    RecordingReporter reporter;
    OpenState()
    {
        state.programDir = dir.path();
        state.reporter = &reporter;
        createConnection(state.db.connection);
        createRecordSet(state.db.sharedRecordSet);
        createRecordSet(state.db.browseRecordSet);
        if (!state.db.connection->openDatabase(connectionStringFor(dir.path())))
            qFatal("cannot open the test database");
    }
    bool run(const QString& sql) { return state.db.execute(sql); }
    bool run(const char* sql) { return run(QString::fromUtf8(sql)); }
    // The first column of the first row, or "<none>".
    QString value(const char* sql)
    {
        if (!state.db.openShared(QString::fromUtf8(sql)) || state.db.shared().atEnd())
            return QStringLiteral("<none>");
        return state.db.shared().readText(0);
    }
};
