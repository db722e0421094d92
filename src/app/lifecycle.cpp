#include "app/lifecycle.h"

#include <QtGlobal>

#include <cstdlib>

namespace {
std::function<void(int)> endProgramHook;
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
