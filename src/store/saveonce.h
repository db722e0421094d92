#pragma once
// A save stored exactly once although the server's answer may be lost. Each
// save of a registration carries a key of its own, written into the row it
// stores (bmb.savekey, unique). A desk that lost the connection while its
// save was under way cannot tell whether the server stored it; it asks for
// the key instead of writing again blindly.

#include "store/database.h"

#include <functional>

enum class SaveOutcome {
    Stored,         // this save wrote it
    AlreadyStored,  // the answer was lost, and the server had stored it
    Failed,         // not stored
    Unknown,        // the answer was lost and the server could not be asked
};

struct SaveResult {
    SaveOutcome outcome = SaveOutcome::Failed;
    QString error;          // Failed, Unknown: the failure as the operator reads it
    qint64 storedRow = 0;   // AlreadyStored: the row that carries the key
};

// A key no other save of any desk carries.
QString newSaveKey();

// Runs writes in one transaction and commits it. When the connection was
// lost during the save it asks whether a registration carries key: there,
// the save is AlreadyStored; not there, the save runs once more.
SaveResult saveOnce(DbConnection& connection, const QString& key, const std::function<bool()>& writes);

// Whether a registration carries key (row: its id); Unknown when the
// database could not be asked (the connection's error says why).
enum class KeyFound { Yes, No, Unknown };
KeyFound findSaveKey(DbConnection& connection, const QString& key, qint64& row);
