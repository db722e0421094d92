#pragma once
// A page of the catalogue on its own: a program directory with a fresh
// database, the shared state opened on it, the founder logged in, status
// pane 2 recorded and message boxes recorded and answered.

#include "core/appstate.h"
#include "platform/messagebox.h"
#include "support/testsupport.h"

#include <QtTest>

class RecordingReporter : public Reporter {
public:
    void showResult(const QString& text) override { result = text; }
    int showMessage(const QString& text, int style, const QString& title) override { return messageBox(text, style, title); }
    QString result;
};

struct CatalogueState {
    CatalogueState()
    {
        state.programDir = dir.path();
        QVERIFY(createConnection(state.db.connection));
        QVERIFY(createRecordSet(state.db.sharedRecordSet));
        QVERIFY(createRecordSet(state.db.browseRecordSet));
        QVERIFY(state.db.connection->openDatabase(connectionStringFor(dir.path())));
        state.reporter = &reporter;
        state.currentOperator = {1, QStringLiteral("admin"), 1};
    }

    bool execute(const QString& sql) { return state.db.execute(sql); }

    // The named columns of every row of the table in id order, "|" between
    // values and ";" after each row, to compare whole tables.
    QString table(const QString& name, const QStringList& columns)
    {
        QString all;
        if (!state.db.openShared(QStringLiteral("select * from ") + name + QStringLiteral(" order by id")))
            return QStringLiteral("<failed>");
        for (RecordSet& rows = state.db.shared(); !rows.atEnd(); rows.moveNext()) {
            QStringList values;
            for (const QString& column : columns)
                values << rows.readText(column);
            all += values.join(QLatin1Char('|')) + QLatin1Char(';');
        }
        return all;
    }

    TestProgramDir dir;
    MessageRecorder messages{AnswerYes};
    RecordingReporter reporter;
    AppState state;
};

inline const QString& permissionRefusal()
{
    static const QString text = QStringLiteral("您的权限不足，不能操作本项，请更换更高权限的帐号再操作。");
    return text;
}
