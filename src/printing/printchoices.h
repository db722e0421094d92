#pragma once
// The two print-choice selectors (add page and browse page). Each entry
// carries its print choice: 0 none, -1 every enabled template, -2 the first
// two, -3 the first three, a positive value one template's id.

#include "core/appstate.h"

class QComboBox;

// Fills both selectors; the add page's choice is restored from add_dy.
void fillPrintChoices(AppState& state, QComboBox* addChoice, QComboBox* browseChoice);
