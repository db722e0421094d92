#pragma once
// The end of the process and what the program carries built in.

#include "core/appstate.h"

#include <functional>

// The exit clean-up, then the end of the process with exitCode.
void endProgram(AppState& state, int exitCode);

// The exit clean-up, then a new run of the program on the same data folder
// from its start (the login) and the end of this one with code 0: after the
// data was replaced.
void restartProgram(AppState& state);

// Loads Qt's own Chinese translations, so the standard dialogs and the
// message-box buttons speak Chinese; false when they are not installed.
bool installChineseTranslations();

// The program's version, as the build names it (the package carries the same).
QString programVersion();

// Registers the pictures and sounds built into the program (once).
void loadBuiltInResources();

// Tests replace the end of the process (the clean-up still runs).
void setEndProgramHook(std::function<void(int)> hook);
void setRestartProgramHook(std::function<void()> hook);
