#include "store/schema.h"
#include "store/sqliteschema.h"
#include "store/textindex.h"

#include "platform/dates.h"
#include "platform/sqlengine.h"
#include "platform/text.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QVariant>

#include <sqlite3.h>

#include <functional>
#include <utility>
#include <vector>

namespace schema {

const std::vector<Table>& tables()
{
    static const std::vector<Table> all = {
        {"admin",
         {{"nam", Kind::Text}, {"admgroup", Kind::Integer}, {"status", Kind::Integer}, {"pw", Kind::Text}}},
        {"xx",
         {{"mc", Kind::Text},
          {"dz", Kind::Text},
          {"dh", Kind::Text},
          {"qq", Kind::Text},
          {"email", Kind::Text},
          {"cz", Kind::Text},
          {"dd", Kind::Integer},
          {"bmsh", Kind::Integer},
          {"fksh", Kind::Integer},
          {"pho", Kind::Integer}}},
        {"sync",
         {{"url", Kind::Text}, {"name", Kind::Text}, {"pass", Kind::Text}, {"bmbnum", Kind::Integer}}},
        {"style",
         {{"nam", Kind::Text},
          {"lx", Kind::Integer},
          {"val", Kind::Text},
          {"bt", Kind::Integer},
          {"yz", Kind::Text},
          {"sx", Kind::Number},
          {"ts", Kind::Text},
          {"status", Kind::Integer},
          {"zd", Kind::Text}}},
        {"bmb",
         {{"status", Kind::Integer, "1"},
          {"dtime", Kind::DateTime},
          {"sh", Kind::Integer},
          {"fk", Kind::Integer},
          {"imgid", Kind::Integer},
          {"xm", Kind::Text},
          {"xb", Kind::Integer},
          {"nl", Kind::Number},
          {"mz", Kind::Text},
          {"zj", Kind::Text},
          {"jj", Kind::Text},
          {"lx1", Kind::Text},
          {"lx2", Kind::Text},
          {"lx3", Kind::Text},
          {"dd", Kind::Integer},
          {"ddserver", Kind::Integer},
          {"bm1", Kind::Integer},
          {"bm2", Kind::Integer},
          {"bm1server", Kind::Integer},
          {"bm2server", Kind::Integer},
          {"bm3", Kind::Text, "'0'"},
          {"bm3server", Kind::Text, "'0'"},
          {"kz1", Kind::Text},
          {"kz2", Kind::Text},
          {"kz3", Kind::Text},
          {"kz4", Kind::Text},
          {"kz5", Kind::Text},
          {"kz6", Kind::Text},
          {"kz7", Kind::Text},
          {"kz8", Kind::Text},
          {"kz9", Kind::Text},
          {"kz10", Kind::Text},
          // 1: sent by an applicant from the web page.
          {"ly", Kind::Integer, nullptr, true},
          // The key the desk gave the save that wrote the row last, so a desk
          // that lost the server's answer can ask whether it was stored.
          {"savekey", Kind::Text, nullptr, true}}},
        {"zy",
         {{"serverid", Kind::Integer},
          {"serplaid", Kind::Integer},
          {"name", Kind::Text},
          {"xuefei", Kind::Integer},
          {"renshu", Kind::Integer},
          {"yibaoming", Kind::Integer},
          {"jzrq", Kind::DateTime, "'1899-12-30 00:00:00'"},
          {"yjh", Kind::Text},
          {"jieshao", Kind::Text},
          {"sx", Kind::Number},
          {"status", Kind::Integer},
          {"ddid", Kind::Integer}}},
        {"dd",
         {{"serverid", Kind::Integer},
          {"name", Kind::Text},
          {"sx", Kind::Number},
          {"status", Kind::Integer},
          {"xx", Kind::Text}}},
        {"dy",
         {{"nam", Kind::Text},
          {"xx", Kind::Text},
          {"dtime", Kind::DateTime},
          {"status", Kind::Integer},
          {"sx", Kind::Number},
          {"mark", Kind::Text}}},
        {"fj", {{"uid", Kind::Integer}, {"filename", Kind::Text}, {"status", Kind::Integer}}},
    };
    return all;
}

const std::vector<QString>& indexStatements()
{
    static const std::vector<QString> all = {
        QStringLiteral("CREATE INDEX bmb_status_dtime ON bmb (status, dtime)"),
        QStringLiteral("CREATE INDEX bmb_sh ON bmb (sh)"),
        QStringLiteral("CREATE INDEX bmb_fk ON bmb (fk)"),
        QStringLiteral("CREATE INDEX bmb_xb ON bmb (xb)"),
        QStringLiteral("CREATE INDEX bmb_nl ON bmb (nl)"),
        QStringLiteral("CREATE INDEX bmb_dd ON bmb (dd)"),
        QStringLiteral("CREATE INDEX bmb_bm1 ON bmb (bm1)"),
        QStringLiteral("CREATE INDEX bmb_bm2 ON bmb (bm2)"),
        QStringLiteral("CREATE INDEX bmb_zj ON bmb (zj)"),
        QStringLiteral("CREATE INDEX bmb_xm_lx1 ON bmb (xm, lx1)"),
        QStringLiteral("CREATE INDEX fj_uid ON fj (uid)"),
    };
    return all;
}

QString saveKeyIndexStatement()
{
    return QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS bmb_savekey ON bmb (savekey) WHERE savekey <> ''");
}

namespace {

struct StyleSeed {
    const char* zd;
    const char* nam;
    int lx;
    const char* val;
    int bt;
    const char* yz;
    double sx;
    const char* ts;
    int status;
};

// The form items of the fixed columns of bmb.
const StyleSeed styleSeeds[] = {
    {"dd", "报名分类", 4, "", 0, "*", -3, "请选择报名分类", 0},
    {"bm1", "第一志愿", 4, "", 1, "*", -2, "", 1},
    {"bm2", "第二志愿", 4, "", 0, "*", -1, "", 1},
    {"bm3", "其他志愿", 3, "", 0, "*", 0, "可多选", 0},
    {"xm", "姓名", 0, "", 1, "*", 1, "请填写真实姓名", 1},
    {"xb", "性别", 2, "男||女", 1, "*", 2, "", 1},
    {"nl", "年龄", 0, "", 0, "n", 3, "", 1},
    {"mz", "民族", 0, "汉族", 0, "*", 4, "", 1},
    {"zj", "身份证号", 0, "", 0, "*", 5, "", 1},
    {"lx1", "联系电话", 0, "", 1, "m", 6, "", 1},
    {"lx2", "联系地址", 0, "", 0, "*", 7, "", 1},
    {"lx3", "电子邮箱", 0, "", 0, "e", 8, "", 0},
    {"jj", "个人简介", 1, "", 0, "*", 20, "", 1},
    {"kz1", "学历", 4, "初中||高中||中专||大专||本科||研究生", 0, "*", 9, "", 1},
    {"kz2", "毕业学校", 0, "", 0, "*", 10, "", 1},
    {"kz3", "兴趣特长", 3, "体育||音乐||美术||计算机", 0, "*", 11, "", 1},
    {"kz4", "家长姓名", 0, "", 0, "*", 12, "", 1},
    {"kz5", "家长电话", 0, "", 0, "m", 13, "", 1},
    {"kz6", "扩展项6", 0, "", 0, "*", 14, "", 0},
    {"kz7", "扩展项7", 0, "", 0, "*", 15, "", 0},
    {"kz8", "扩展项8", 0, "", 0, "*", 16, "", 0},
    {"kz9", "扩展项9", 0, "", 0, "*", 17, "", 0},
    {"kz10", "扩展项10", 0, "", 0, "*", 18, "", 0},
};

} // namespace

std::vector<SeedRow> seedRows()
{
    const QString none(QLatin1String(""));
    std::vector<SeedRow> rows = {
        {"admin",
         {{"nam", QStringLiteral("admin")},
          {"admgroup", 1},
          {"status", 1},
          {"pw", passwordDigest(QStringLiteral("472915"))}}},
        {"xx",
         {{"mc", none},
          {"dz", none},
          {"dh", none},
          {"qq", none},
          {"email", none},
          {"cz", none},
          {"dd", 0},
          {"bmsh", 0},
          {"fksh", 0},
          {"pho", 0}}},
        {"sync", {{"url", none}, {"name", none}, {"pass", none}, {"bmbnum", 50}}},
    };
    for (const StyleSeed& s : styleSeeds)
        rows.push_back({"style",
                        {{"zd", QString::fromUtf8(s.zd)},
                         {"nam", QString::fromUtf8(s.nam)},
                         {"lx", s.lx},
                         {"val", QString::fromUtf8(s.val)},
                         {"bt", s.bt},
                         {"yz", QString::fromUtf8(s.yz)},
                         {"sx", s.sx},
                         {"ts", QString::fromUtf8(s.ts)},
                         {"status", s.status}}});
    return rows;
}

} // namespace schema

using schema::Column;
using schema::Kind;
using schema::Table;
using schema::tables;

namespace {

const QString sqliteIdDeclaration = QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT");

// The declared type of the date-time columns: "TEXT" in it gives text affinity.
const char* const dateTimeType = "DATETEXT";
// How the date-time columns were declared before they had text affinity.
const char* const numericDateTimeType = "DATETIME";

QString columnDefinition(const Column& column)
{
    QString text = QString::fromLatin1(column.name) + QLatin1Char(' ');
    switch (column.kind) {
    case Kind::Integer:
        text += QLatin1String("INTEGER DEFAULT ");
        text += QLatin1String(column.defaultValue ? column.defaultValue : "0");
        break;
    case Kind::Number:
        text += QLatin1String("REAL DEFAULT ");
        text += QLatin1String(column.defaultValue ? column.defaultValue : "0");
        break;
    case Kind::Text:
        text += QLatin1String("TEXT COLLATE NOCASE DEFAULT ");
        text += QLatin1String(column.defaultValue ? column.defaultValue : "''");
        break;
    case Kind::DateTime:
        // Stored as yyyy-MM-dd HH:mm:ss text, so the text order is the time
        // order. The declared type gives text affinity: DATETIME would give
        // numeric affinity and turn a text such as '2013' into a number that
        // then reads as a day number.
        text += QLatin1String(dateTimeType);
        if (column.defaultValue)
            text += QLatin1String(" DEFAULT ") + QLatin1String(column.defaultValue);
        break;
    }
    return text;
}

// A text written into a date-time column is turned into the stored form right
// after the write; jetdate raises an error for a text that is no date, which
// makes the whole statement fail and leaves the row as it was.
QStringList dateTriggers(const QString& table, const QString& column)
{
    const QString body = QStringLiteral(" WHEN NEW.%2 IS NOT jetdate(NEW.%2) BEGIN UPDATE %1 SET %2 = "
                                        "jetdate(NEW.%2) WHERE id = NEW.id; END")
                             .arg(table, column);
    return {QStringLiteral("CREATE TEMP TRIGGER %1_%2_insert AFTER INSERT ON main.%1").arg(table, column) + body,
            QStringLiteral("CREATE TEMP TRIGGER %1_%2_update AFTER UPDATE OF %2 ON main.%1").arg(table, column)
                + body};
}

// The date-time columns as (table, column).
std::vector<std::pair<QString, QString>> dateTimeColumns()
{
    std::vector<std::pair<QString, QString>> found;
    for (const Table& table : tables())
        for (const Column& column : table.columns)
            if (column.kind == Kind::DateTime)
                found.emplace_back(QString::fromLatin1(table.name), QString::fromLatin1(column.name));
    return found;
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// Runs one fixed statement of this file, binding values to its ? markers;
// onRow sees each result row.
bool run(sqlite3* db, const QString& sql, const QVariantList& values, QString* error,
         const std::function<void(sqlite3_stmt*)>& onRow = {})
{
    sqlite3_stmt* stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt, nullptr) != SQLITE_OK) {
        setError(error, QString::fromUtf8(sqlite3_errmsg(db)) + QStringLiteral(" (") + sql + QLatin1Char(')'));
        sqlite3_finalize(stmt);
        return false;
    }
    std::vector<QByteArray> keep;
    keep.reserve(size_t(values.size()));
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& v = values.at(i);
        if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong) {
            sqlite3_bind_int64(stmt, i + 1, v.toLongLong());
        } else if (v.typeId() == QMetaType::Double) {
            sqlite3_bind_double(stmt, i + 1, v.toDouble());
        } else {
            keep.push_back(v.toString().toUtf8());
            sqlite3_bind_text(stmt, i + 1, keep.back().constData(), int(keep.back().size()), SQLITE_STATIC);
        }
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        if (onRow)
            onRow(stmt);
    if (rc != SQLITE_DONE) {
        setError(error, QString::fromUtf8(sqlite3_errmsg(db)) + QStringLiteral(" (") + sql + QLatin1Char(')'));
        sqlite3_finalize(stmt);
        return false;
    }
    sqlite3_finalize(stmt);
    return true;
}

bool seed(sqlite3* db, QString* error)
{
    for (const schema::SeedRow& row : schema::seedRows()) {
        QStringList names;
        QStringList markers;
        QVariantList values;
        for (const auto& [name, value] : row.values) {
            names << QString::fromLatin1(name);
            markers << QStringLiteral("?");
            values << value;
        }
        const QString insert = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                   .arg(QString::fromLatin1(row.table), names.join(QStringLiteral(", ")),
                                        markers.join(QStringLiteral(", ")));
        if (!run(db, insert, values, error))
            return false;
    }
    return true;
}

// The declared type of a column of the main database; empty when the table or
// the column is missing.
QString declaredType(sqlite3* db, const QString& table, const QString& column)
{
    QString type;
    run(db, QStringLiteral("SELECT type FROM pragma_table_info(?, 'main') WHERE name = ? COLLATE NOCASE"),
        {table, column}, nullptr, [&type](sqlite3_stmt* row) {
            type = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(row, 0)));
        });
    return type;
}

// Rewrites the day numbers an earlier version left in a numeric date-time
// column as date texts, which the column keeps once it has text affinity.
// A number outside Jet's range is left as it is and reads as the zero date.
bool dayNumbersToDateTexts(sqlite3* db, const QString& table, const QString& column, QString* error)
{
    std::vector<std::pair<qint64, QString>> converted;
    const bool read = run(db,
                          QStringLiteral("SELECT id, %2 FROM %1 WHERE typeof(%2) IN ('integer', 'real')")
                              .arg(table, column),
                          {}, error, [&converted](sqlite3_stmt* row) {
                              if (const auto moment = sqlengine::serialToDate(sqlite3_column_double(row, 1)))
                                  converted.emplace_back(sqlite3_column_int64(row, 0), isoDateText(*moment));
                          });
    if (!read)
        return false;
    for (const auto& [id, text] : converted)
        if (!run(db, QStringLiteral("UPDATE %1 SET %2 = ? WHERE id = ?").arg(table, column), {text, id}, error))
            return false;
    return true;
}

// Changes the declared type of date-time columns in place. A declared type
// only decides how later values are stored, so the stored rows stay valid;
// this is SQLite's documented procedure for schema changes that leave the
// stored format alone.
bool declareWithTextAffinity(sqlite3* db, const std::vector<std::pair<QString, QString>>& columns, QString* error)
{
    int schemaVersion = 0;
    if (!run(db, QStringLiteral("PRAGMA schema_version"), {}, error,
             [&schemaVersion](sqlite3_stmt* row) { schemaVersion = sqlite3_column_int(row, 0); })
        || !run(db, QStringLiteral("PRAGMA writable_schema = ON"), {}, error))
        return false;
    bool ok = true;
    for (const auto& [table, column] : columns) {
        QString sql;
        ok = ok
            && run(db, QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?"), {table},
                   error, [&sql](sqlite3_stmt* row) {
                       sql = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(row, 0)));
                   });
        const QRegularExpression declaration(
            QStringLiteral("\\b(%1\\s+)%2\\b").arg(column, QLatin1String(numericDateTimeType)),
            QRegularExpression::CaseInsensitiveOption);
        sql.replace(declaration, QStringLiteral("\\1") + QLatin1String(dateTimeType));
        ok = ok
            && run(db, QStringLiteral("UPDATE sqlite_master SET sql = ? WHERE type = 'table' AND name = ?"),
                   {sql, table}, error);
    }
    ok = ok && run(db, QStringLiteral("PRAGMA schema_version = %1").arg(schemaVersion + 1), {}, error);
    // Always switched off again, also after a failure.
    return run(db, QStringLiteral("PRAGMA writable_schema = OFF"), {}, ok ? error : nullptr) && ok;
}

} // namespace

QString schema::webSecretTableStatement(const QString& idDeclaration)
{
    return QStringLiteral("CREATE TABLE IF NOT EXISTS websecret (%1, name TEXT NOT NULL UNIQUE, secret TEXT NOT NULL)")
        .arg(idDeclaration);
}

bool createSchema(sqlite3* db, QString* error)
{
    for (const Table& table : tables()) {
        QStringList parts{sqliteIdDeclaration};
        for (const Column& column : table.columns)
            parts << columnDefinition(column);
        const QString create =
            QStringLiteral("CREATE TABLE %1 (%2)").arg(QString::fromLatin1(table.name), parts.join(QStringLiteral(", ")));
        if (!run(db, create, {}, error))
            return false;
    }
    for (const QString& index : schema::indexStatements())
        if (!run(db, index, {}, error))
            return false;
    for (const QString& statement : textindex::sqliteCreateStatements())
        if (!run(db, statement, {}, error))
            return false;
    return run(db, schema::saveKeyIndexStatement(), {}, error) && run(db, schema::webSecretTableStatement(sqliteIdDeclaration), {}, error);
}

bool createShippedDatabase(const QString& path, QString* error)
{
    if (QFileInfo::exists(path)) {
        setError(error, QStringLiteral("%1 exists and is not overwritten").arg(path));
        return false;
    }
    // Built beside the target and moved into place at the end, so a failure
    // never leaves a half-made database under the real name.
    const QString partial = path + QStringLiteral(".partial");
    QFile::remove(partial);

    sqlite3* db = nullptr;
    const QByteArray file = partial.toUtf8();
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        setError(error, QStringLiteral("%1: %2").arg(partial, QString::fromUtf8(sqlite3_errmsg(db))));
        sqlite3_close(db);
        QFile::remove(partial);
        return false;
    }
    bool ok = run(db, QStringLiteral("BEGIN"), {}, error);
    ok = ok && createSchema(db, error);
    ok = ok && seed(db, error);
    ok = ok && run(db, QStringLiteral("COMMIT"), {}, error);
    if (sqlite3_close(db) != SQLITE_OK && ok) {
        setError(error, QStringLiteral("cannot close %1").arg(partial));
        ok = false;
    }
    if (ok && !QFile::rename(partial, path)) {
        setError(error, QStringLiteral("cannot move the new database to %1").arg(path));
        ok = false;
    }
    if (!ok)
        QFile::remove(partial);
    return ok;
}

bool upgradeSchema(sqlite3* db, QString* error)
{
    // Indexes and columns a file made by an earlier version lacks; only a file
    // that lacks one is written to, so a read-only one still opens.
    bool secretsPresent = false;
    if (!run(db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'websecret'"), {}, error,
             [&secretsPresent](sqlite3_stmt*) { secretsPresent = true; })
        || (!secretsPresent && !run(db, schema::webSecretTableStatement(sqliteIdDeclaration), {}, error)))
        return false;
    for (const Table& table : tables())
        for (const Column& column : table.columns) {
            if (!column.addedLater)
                continue;
            bool present = false;
            if (!run(db, QStringLiteral("SELECT 1 FROM pragma_table_info(?, 'main') WHERE name = ?"),
                     {QString::fromLatin1(table.name), QString::fromLatin1(column.name)}, error,
                     [&present](sqlite3_stmt*) { present = true; })
                || (!present
                    && !run(db, QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
                                    .arg(QString::fromLatin1(table.name), columnDefinition(column)),
                            {}, error)))
                return false;
        }
    // Indexes after the columns, as one may be on a column added here.
    std::vector<QString> indexes = schema::indexStatements();
    indexes.push_back(schema::saveKeyIndexStatement());
    for (const QString& index : indexes) {
        const QString name = index.section(QStringLiteral(" ON "), 0, 0).section(QLatin1Char(' '), -1);
        bool present = false;
        if (!run(db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?"), {name}, error,
                 [&present](sqlite3_stmt*) { present = true; })
            || (!present && !run(db, index, {}, error)))
            return false;
    }
    QStringList storedDateTriggers;
    if (!run(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger' AND instr(lower(sql), 'jetdate') > 0"),
             {}, error, [&storedDateTriggers](sqlite3_stmt* row) {
                 storedDateTriggers << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(row, 0)));
             }))
        return false;
    std::vector<std::pair<QString, QString>> numericColumns;
    for (const auto& [table, column] : dateTimeColumns())
        if (declaredType(db, table, column).compare(QLatin1String(numericDateTimeType), Qt::CaseInsensitive) == 0)
            numericColumns.emplace_back(table, column);
    if (storedDateTriggers.isEmpty() && numericColumns.empty())
        return true;

    if (!run(db, QStringLiteral("BEGIN IMMEDIATE"), {}, error))
        return false;
    bool ok = true;
    for (QString name : storedDateTriggers) {
        name.replace(QLatin1Char('"'), QLatin1String("\"\""));
        ok = ok && run(db, QStringLiteral("DROP TRIGGER \"%1\"").arg(name), {}, error);
    }
    for (const auto& [table, column] : numericColumns)
        ok = ok && dayNumbersToDateTexts(db, table, column, error);
    ok = ok && (numericColumns.empty() || declareWithTextAffinity(db, numericColumns, error));
    ok = ok && run(db, QStringLiteral("COMMIT"), {}, error);
    if (!ok)
        run(db, QStringLiteral("ROLLBACK"), {}, nullptr);
    return ok;
}

bool installDateConversion(sqlite3* db, QString* error)
{
    for (const auto& [table, column] : dateTimeColumns()) {
        // A database without the table (or the column) has nothing to convert.
        if (declaredType(db, table, column).isEmpty())
            continue;
        for (const QString& trigger : dateTriggers(table, column))
            if (!run(db, trigger, {}, error))
                return false;
    }
    return true;
}

bool isDateTimeDeclaration(const char* declaredType)
{
    // DATETIME: a file another tool made, or one not yet upgraded.
    return declaredType
        && (sqlite3_stricmp(declaredType, dateTimeType) == 0 || sqlite3_stricmp(declaredType, numericDateTimeType) == 0);
}

bool isRegistrationColumn(const QString& name)
{
    if (name.compare(QLatin1String("id"), Qt::CaseInsensitive) == 0)
        return true;
    for (const Table& table : tables()) {
        if (qstrcmp(table.name, "bmb") != 0)
            continue;
        for (const Column& column : table.columns)
            if (name.compare(QLatin1String(column.name), Qt::CaseInsensitive) == 0)
                return true;
    }
    return false;
}

bool findMissingSchemaPart(sqlite3* db, QString* missingTable, QString* missingColumn)
{
    for (const Table& table : tables()) {
        const QString tableName = QString::fromLatin1(table.name);
        QStringList present;
        run(db, QStringLiteral("SELECT name FROM pragma_table_info(?, 'main')"), {tableName}, nullptr,
            [&present](sqlite3_stmt* row) {
                present << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(row, 0)));
            });
        if (present.isEmpty()) {
            *missingTable = tableName;
            missingColumn->clear();
            return true;
        }
        QStringList wanted{QStringLiteral("id")};
        for (const Column& column : table.columns)
            if (!column.addedLater)
                wanted << QString::fromLatin1(column.name);
        for (const QString& columnName : wanted) {
            if (!present.contains(columnName, Qt::CaseInsensitive)) {
                *missingTable = tableName;
                *missingColumn = columnName;
                return true;
            }
        }
    }
    return false;
}
