#pragma once
// Whether a zhao.dat can serve the program, found out before the program's
// connection opens it. The check only reads: a file that fails it is left
// exactly as it was, so it can still be rescued.

#include <QString>

#include <atomic>
#include <functional>
#include <mutex>

enum class DatabaseProblem {
    None,
    NotAFile,       // missing, or a directory or other non-file under the name
    NotReadable,    // no permission, or the system could not read it
    Locked,         // another program holds it
    NotADatabase,   // no SQLite database at all
    Damaged,        // a database whose pages or size are wrong
    MissingTable,   // a database without one of the program's tables
    MissingColumn,  // one of the program's tables without one of its columns
};

enum class CheckDepth {
    Schema,  // the header, the size it gives, the tables and columns: a start after a clean close
    Quick,   // PRAGMA quick_check as well: a start after anything else, and after login
    Full,    // PRAGMA integrity_check as well: before a backup is restored
};

struct DatabaseCheck {
    DatabaseProblem problem = DatabaseProblem::None;
    QString table;       // the missing table, or the table of the missing column
    QString column;      // the missing column
    bool readOnly = false;  // usable, but the file or its directory cannot be written
    // The full check only: the index of the text items does not hold what the
    // rows hold (repairTextIndex builds it anew; the rows are whole).
    bool textIndexDamaged = false;

    bool usable() const { return problem == DatabaseProblem::None; }
};

// Ends a check under way from another thread, at once: SQLite's own check of
// the pages runs as one step, which no flag looked at between steps reaches.
class CheckStop {
public:
    // From any thread.
    void request();
    bool requested() const { return stopped.load(); }
    // Set by the check while it runs (empty once it ends): what ends it.
    void whileRunning(std::function<void()> interruption);

private:
    std::mutex mutex;
    std::atomic_bool stopped{false};
    std::function<void()> interrupt;
};

// Checks the database file at path. A file another program holds is waited
// for busyTimeoutMs before it counts as locked. A journal left by a program
// that ended in the middle of a write is rolled back first, as any open would.
// stop->request() (from another thread) ends a check under way at once; what
// it gives then says nothing.
DatabaseCheck checkDatabaseFile(const QString& path, CheckDepth depth = CheckDepth::Quick,
                                int busyTimeoutMs = 2000, CheckStop* stop = nullptr);

// Builds the index of the text items of the file at path anew.
bool repairTextIndex(const QString& path, QString* error);

// What tells one state of the file from another without reading it through:
// its size, its modification time and the change counter SQLite keeps in the
// header. Empty when the file cannot be read.
QString databaseFileStamp(const QString& path);

// The cause in a few words ("已损坏", "缺少数据表 admin"), for messages
// that name the file themselves.
QString databaseProblemWords(const DatabaseCheck& check);

// What the full check found wrong with the index of the text items.
QString textIndexDamageWords();

// The message for an unusable file: names the file and the cause.
QString databaseProblemText(const DatabaseCheck& check, const QString& path);

// What the operator is told at the start about a database that cannot be written.
QString readOnlyDatabaseText(const QString& path);
// The same, short, for the status bar.
QString readOnlyStatusText();
