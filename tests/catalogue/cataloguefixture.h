#pragma once
// A page of the catalogue on its own: the shared state opened on a fresh
// database, the founder logged in, status pane 2 recorded, and every message
// box, the page's own and the reported ones, recorded in order and answered.

#include "platform/messagebox.h"
#include "support/openstate.h"

#include <QtTest>

// Reported boxes go through messageBox, as the main window sends them.
struct BoxReporter : Reporter {
    void showResult(const QString& text) override { result = text; }
    int showMessage(const QString& text, int style, const QString& title) override { return messageBox(text, style, title); }
    QString result;
};

struct CatalogueState : OpenState {
    CatalogueState()
    {
        state.reporter = &boxReporter;
        state.currentOperator = {1, QStringLiteral("admin"), 1};
    }

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

    BoxReporter boxReporter;  // in place of OpenState's reporter, which answers boxes itself
    MessageRecorder messages{AnswerYes};
};

inline const QString& permissionRefusal()
{
    static const QString text = QStringLiteral("您的权限不足，不能操作本项，请更换更高权限的帐号再操作。");
    return text;
}
