#include "app/lifecycle.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QProcess>
#include <QTranslator>

#include <cstdlib>

namespace {
std::function<void(int)> endProgramHook;
std::function<void()> restartProgramHook;

void releaseSharedObjects(AppState& state)
{
    state.db.sharedRecordSet.reset();
    state.db.browseRecordSet.reset();
    state.db.connection.reset();
    // Released before a new run starts, so that it does not find this one running.
    state.instanceLock = {};
}
} // namespace

void endProgram(AppState& state, int exitCode)
{
    releaseSharedObjects(state);
    if (endProgramHook) {
        endProgramHook(exitCode);
        return;
    }
    std::exit(exitCode);
}

void restartProgram(AppState& state)
{
    releaseSharedObjects(state);
    if (restartProgramHook) {
        restartProgramHook();
        return;
    }
    QProcess::startDetached(QCoreApplication::applicationFilePath(), {QStringLiteral("--data"), state.programDir},
                            state.programDir);
    std::exit(0);
}

bool installChineseTranslations()
{
    static QTranslator* translator = nullptr;
    if (translator)
        return true;
    auto* loaded = new QTranslator(QCoreApplication::instance());
    if (!loaded->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete loaded;
        return false;
    }
    QCoreApplication::installTranslator(loaded);
    translator = loaded;
    return true;
}

QString programVersion()
{
    return QStringLiteral(BRENVO_VERSION);
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

void setRestartProgramHook(std::function<void()> hook)
{
    restartProgramHook = std::move(hook);
}
