#include "app/appstate.h"

#include "platform/messagebox.h"

#include <QApplication>

#include <cstdlib>

namespace {
std::function<void(int)> endProgramHook;
}

bool executeReported(AppState& state, const QString& sql, int extraStyle)
{
    if (state.db.execute(sql))
        return true;
    const QString error = state.db.lastErrorText();
    if (!error.isEmpty())
        messageBox(error, MessageStyle::Error | extraStyle);
    return false;
}

bool openReported(AppState& state, const QString& sql)
{
    if (state.db.openShared(sql))
        return true;
    messageBox(state.db.lastErrorText(), MessageStyle::Error);
    return false;
}

void endProgram(AppState& state, int exitCode)
{
    state.db.sharedRecordSet.reset();
    state.db.browseRecordSet.reset();
    state.db.connection.reset();
    if (endProgramHook) {
        endProgramHook(exitCode);
        return;
    }
    std::exit(exitCode);
}

void loadBuiltInResources()
{
    static bool loaded = false;
    if (!loaded) {
        Q_INIT_RESOURCE(brenvo);
        loaded = true;
    }
}

void setEndProgramHook(std::function<void(int)> hook)
{
    endProgramHook = std::move(hook);
}
