#pragma once
// A program directory with a fresh database opened in an AppState whose
// reports are recorded, for tests of the layers below the main window.

#include "core/appstate.h"
#include "platform/messagestyle.h"
#include "support/pgtestdatabase.h"
#include "support/testsupport.h"

#include <QStringList>

#include <memory>

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

// In a run on the server (testsOnServer) the database is a fresh one on the
// test server, set up as a desk sets up an empty one; it outlives the state.
struct OpenState {
    TestProgramDir dir;
    std::unique_ptr<TestPgDatabase> server;
    AppState state;
    RecordingReporter reporter;
    OpenState()
    {
        state.programDir = dir.path();
        state.reporter = &reporter;
        createConnection(state.db.connection);
        createRecordSet(state.db.sharedRecordSet);
        createRecordSet(state.db.browseRecordSet);
        bool opened = false;
        if (testsOnServer()) {
            server = std::make_unique<TestPgDatabase>();
            if (!server->isReady())
                qFatal("cannot make the test database on the server: %s", qPrintable(server->error()));
            opened = state.db.connection->openServer(server->connectionString());
        } else {
            opened = state.db.connection->openDatabase(connectionStringFor(dir.path()));
        }
        if (!opened)
            qFatal("cannot open the test database: %s", qPrintable(state.db.lastErrorText()));
    }
    bool run(const QString& sql) { return state.db.execute(sql); }
    bool run(const char* sql) { return run(QString::fromUtf8(sql)); }
    // An enabled programme of no category, as the programmes page adds one.
    bool addProgramme(int serverId, const char* name, int fee, int order, const char* deadline = "1899-12-30 00:00:00")
    {
        return run(QStringLiteral("INSERT INTO zy (serverid,serplaid,name,xuefei,renshu,yibaoming,jzrq,yjh,jieshao,sx,status,ddid) "
                                  "values (%1,0,'%2',%3,30,0,'%4','','',%5,1,0)")
                       .arg(QString::number(serverId), QString::fromUtf8(name), QString::number(fee),
                            QString::fromLatin1(deadline), QString::number(order)));
    }
    // The first column of the first row, or "<none>".
    QString value(const char* sql)
    {
        if (!state.db.openShared(QString::fromUtf8(sql)) || state.db.shared().atEnd())
            return QStringLiteral("<none>");
        return state.db.shared().readText(0);
    }
};
