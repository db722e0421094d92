#pragma once
// What every subsystem shares, owned by the main window for the life of the
// program. Each item has one writer (noted); the others only read it.

#include "store/database.h"

#include <QString>

#include <functional>

struct Operator {
    int id = 0;
    QString name;
    int group = 0;
};

// The four switches of the unit information, 1 = on.
struct UnitSettings {
    int multiLocation = 0;
    int review = 0;
    int payment = 0;
    int photo = 0;
};

struct AppState {
    QString programDir;               // the executable's directory (start-up)
    Operator currentOperator;         // login
    Database db;                      // start-up; the store's operations
    UnitSettings unitSettings;        // unit information
    QString iniPath;                  // settings, at start
    int pageSize = 0;                 // settings at start, then the browse search
    bool addPageActive = false;       // navigation
    QString pendingPhotoFile;         // photo of the registration being entered

    // Writes pane 2 of the main window's status bar (set by the main window).
    std::function<void(const QString&)> showResult;

    QString programFile(const QString& name) const { return programDir + QLatin1Char('/') + name; }
};

// Runs one write statement. On failure shows the database's message, when
// there is one, with the error icon plus extraStyle; the caller reports the
// outcome in the status bar.
bool executeReported(AppState& state, const QString& sql, int extraStyle = 0);

// Opens a query in sharedRecordSet, as most readers do: on failure shows the
// database's message with the error icon and gives false.
bool openReported(AppState& state, const QString& sql);

// The exit clean-up, then the end of the process with exitCode.
void endProgram(AppState& state, int exitCode);

// Registers the pictures and sounds built into the program (once).
void loadBuiltInResources();

// Tests replace the end of the process (the clean-up still runs).
void setEndProgramHook(std::function<void(int)> hook);
