#pragma once
// What the benchmarks of the program's own work share: a generated zhao.dat,
// the program's state over it, and the main of a benchmark with windows.

#include "benchsupport.h"

#include "core/appstate.h"
#include "store/schema.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <functional>

namespace bench {

// A new zhao.dat in dir, filled by generate(path); its path.
inline QString generatedDatabase(const QTemporaryDir& dir, const std::function<void(const QString&)>& generate)
{
    check(dir.isValid(), "temporary directory");
    const QString path = dir.filePath(QStringLiteral("zhao.dat"));
    QString error;
    check(createShippedDatabase(path, &error), "createShippedDatabase");
    generate(path);
    return path;
}

// The program's state with its connection and record sets, opened by open
// (the program directory's zhao.dat, or a server).
inline void openProgramState(AppState& state, const QString& programDir,
                             const std::function<bool(DbConnection&)>& open)
{
    state.programDir = programDir;
    check(createConnection(state.db.connection) && createRecordSet(state.db.sharedRecordSet)
              && createRecordSet(state.db.browseRecordSet),
          "record sets");
    check(open(*state.db.connection), "open the database");
}

inline bool openProgramDatabase(DbConnection& connection, const QString& programDir)
{
    return connection.openDatabase(connectionStringFor(programDir));
}

// Runs the registered benchmarks in an application with windows, offscreen
// unless a platform is named.
inline int runWidgetBenchmarks(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace bench
