#pragma once
// The in-memory lists the form, the record pages and printing are built
// from, their loaders, and the lookups by id.

#include "core/appstate.h"

// The most enabled form items a form holds.
constexpr int maxFormItems = 21;

// Each replaces its list from the database; on a failed query the list is
// left empty and the database's message has been shown.
void loadFormItems(AppState& state);
void loadCategoryList(AppState& state);
void loadProgrammeList(AppState& state);

// Each loads its list only when the list is empty: a filled list stays as it is.
void ensureFormItems(AppState& state);
void ensureCategoryList(AppState& state);
void ensureProgrammeList(AppState& state);

// The first entry of a category or programme list with the id; nullptr when none.
template <typename Entry>
const Entry* findById(const QVector<Entry>& list, int id)
{
    for (const Entry& entry : list)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

// The first entry with the id, searching from the start; empty text when none.
QString categoryName(const AppState& state, int id);
QString programmeName(const AppState& state, int id);
// The programme's fee as a decimal integer.
QString programmeFee(const AppState& state, int id);
