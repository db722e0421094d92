#pragma once
// An open state (fresh database, recorded reports) with an operator of the
// founder group, message boxes recorded, and the print window closed at the end.

#include "core/appstate.h"
#include "core/lists.h"
#include "platform/messagebox.h"
#include "printing/previewwindow.h"
#include "support/openstate.h"

#include <QSignalSpy>
#include <QWebEngineView>
#include <QtTest>

struct PrintingFixture : OpenState {
    MessageRecorder boxes;

    PrintingFixture()
    {
        state.iniPath = dir.file(QStringLiteral("duzarizered.ini"));
        state.currentOperator = {1, QStringLiteral("admin"), 1};
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
