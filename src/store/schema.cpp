#include "store/schema.h"

#include "platform/sqlengine.h"
#include "platform/text.h"

#include <QFile>
#include <QFileInfo>
#include <QVariant>

#include <sqlite3.h>

#include <vector>

namespace {

// Column kinds as the statements give them values: unquoted integers,
// unquoted numbers, quoted texts and date-times.
enum class Kind { Integer, Number, Text, DateTime };

struct Column {
    const char* name;
    Kind kind;
    const char* defaultValue = nullptr;   // SQL literal; nullptr: the kind's usual default
};

struct Table {
    const char* name;
    std::vector<Column> columns;
};

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
          {"kz10", Kind::Text}}},
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

// The browse and statistics pages filter and sort on these.
const char* const indexStatements[] = {
    "CREATE INDEX bmb_status_dtime ON bmb (status, dtime)",
    "CREATE INDEX bmb_sh ON bmb (sh)",
    "CREATE INDEX bmb_fk ON bmb (fk)",
    "CREATE INDEX bmb_xb ON bmb (xb)",
    "CREATE INDEX bmb_nl ON bmb (nl)",
    "CREATE INDEX bmb_dd ON bmb (dd)",
    "CREATE INDEX bmb_bm1 ON bmb (bm1)",
    "CREATE INDEX bmb_bm2 ON bmb (bm2)",
    "CREATE INDEX fj_uid ON fj (uid)",
};

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
        // Stored as yyyy-MM-dd HH:mm:ss text, so the text order is the time order.
        text += QLatin1String("DATETIME");
        if (column.defaultValue)
            text += QLatin1String(" DEFAULT ") + QLatin1String(column.defaultValue);
        break;
    }
    return text;
}

// A text written into a date-time column is turned into the stored form right
// after the write; jetdate raises an error for a text that is no date, which
// makes the whole statement fail and leaves the row as it was.
QStringList dateTriggers(const Table& table, const Column& column)
{
    const QString t = QString::fromLatin1(table.name);
    const QString c = QString::fromLatin1(column.name);
    const QString body = QStringLiteral(" WHEN NEW.%2 IS NOT jetdate(NEW.%2) BEGIN UPDATE %1 SET %2 = "
                                        "jetdate(NEW.%2) WHERE id = NEW.id; END")
                             .arg(t, c);
    return {QStringLiteral("CREATE TRIGGER %1_%2_insert AFTER INSERT ON %1").arg(t, c) + body,
            QStringLiteral("CREATE TRIGGER %1_%2_update AFTER UPDATE OF %2 ON %1").arg(t, c) + body};
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// Runs one fixed statement of this file, binding values to its ? markers.
bool run(sqlite3* db, const QString& sql, const QVariantList& values, QString* error)
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
    int rc = sqlite3_step(stmt);
    while (rc == SQLITE_ROW)
        rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE) {
        setError(error, QString::fromUtf8(sqlite3_errmsg(db)) + QStringLiteral(" (") + sql + QLatin1Char(')'));
        sqlite3_finalize(stmt);
        return false;
    }
    sqlite3_finalize(stmt);
    return true;
}

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

bool seed(sqlite3* db, QString* error)
{
    if (!run(db, QStringLiteral("INSERT INTO admin (nam, admgroup, status, pw) VALUES (?, ?, ?, ?)"),
             {QStringLiteral("admin"), 1, 1, passwordDigest(QStringLiteral("472915"))}, error))
        return false;
    if (!run(db,
             QStringLiteral("INSERT INTO xx (mc, dz, dh, qq, email, cz, dd, bmsh, fksh, pho) "
                            "VALUES ('', '', '', '', '', '', 0, 0, 0, 0)"),
             {}, error))
        return false;
    if (!run(db, QStringLiteral("INSERT INTO sync (url, name, pass, bmbnum) VALUES ('', '', '', 50)"), {},
             error))
        return false;
    for (const StyleSeed& s : styleSeeds) {
        if (!run(db,
                 QStringLiteral("INSERT INTO style (zd, nam, lx, val, bt, yz, sx, ts, status) "
                                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                 {QString::fromUtf8(s.zd), QString::fromUtf8(s.nam), s.lx, QString::fromUtf8(s.val), s.bt,
                  QString::fromUtf8(s.yz), s.sx, QString::fromUtf8(s.ts), s.status},
                 error))
            return false;
    }
    return true;
}

} // namespace

bool createSchema(sqlite3* db, QString* error)
{
    for (const Table& table : tables()) {
        QStringList parts{QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT")};
        for (const Column& column : table.columns)
            parts << columnDefinition(column);
        const QString create =
            QStringLiteral("CREATE TABLE %1 (%2)").arg(QString::fromLatin1(table.name), parts.join(QStringLiteral(", ")));
        if (!run(db, create, {}, error))
            return false;
        for (const Column& column : table.columns) {
            if (column.kind != Kind::DateTime)
                continue;
            for (const QString& trigger : dateTriggers(table, column))
                if (!run(db, trigger, {}, error))
                    return false;
        }
    }
    for (const char* index : indexStatements)
        if (!run(db, QString::fromLatin1(index), {}, error))
            return false;
    return true;
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
    bool ok = sqlengine::registerJetFunctions(db);
    if (!ok)
        setError(error, QString::fromUtf8(sqlite3_errmsg(db)));
    ok = ok && run(db, QStringLiteral("BEGIN"), {}, error);
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
