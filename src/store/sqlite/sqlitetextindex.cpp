// The index of the text items on a desk's zhao.dat (store/textindex.h).
#include "store/sqlite/sqliteengine.h"

#include "store/textindex.h"

#include <sqlite3.h>

namespace store {

namespace {

// Rows read into the index between two reports of progress.
constexpr qint64 idsPerStep = 20000;

} // namespace

bool SqliteEngine::fillTextIndex(const std::function<void(qint64, qint64)>& progress)
{
    if (textIndexReady) {
        if (!plain(textindex::sqliteClearStatement().toUtf8().constData()))
            return false;
    } else {
        for (const QString& statement : textindex::sqliteCreateStatements())
            if (!plain(statement.toUtf8().constData()))
                return false;
    }
    Columns columns;
    std::vector<Row> rows;
    if (!run(QStringLiteral("select coalesce(max(id), 0) from bmb"), columns, rows))
        return false;
    const qint64 largest = rows.at(0).cells.at(0).integer;
    sqlite3_stmt* fill = nullptr;
    const QByteArray sql = textindex::sqliteFillStatement().toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &fill, nullptr) != SQLITE_OK)
        return fail();
    bool ok = true;
    for (qint64 from = 0; ok && from < largest; from += idsPerStep) {
        progress(from, largest);
        sqlite3_bind_int64(fill, 1, from);
        sqlite3_bind_int64(fill, 2, from + idsPerStep);
        ok = sqlite3_step(fill) == SQLITE_DONE;
        sqlite3_reset(fill);
    }
    if (!ok)
        fail();
    sqlite3_finalize(fill);
    progress(largest, largest);
    return ok && plain(textindex::sqliteOptimizeStatement().toUtf8().constData());
}

bool SqliteEngine::buildTextIndex(const std::function<void(qint64, qint64)>& progress)
{
    if (!begin())
        return false;
    if (!fillTextIndex(progress)) {
        const QString failure = error;
        const ErrorKind failureKind = kind;
        rollback();
        error = failure;
        kind = failureKind;
        return false;
    }
    if (!commit())
        return false;
    textIndexReady = true;
    return true;
}

} // namespace store
