#pragma once
// The registrations the browse and export benchmarks run on, as an office
// with categories, programmes and several choices fills them in.

#include "benchsupport.h"

#include "platform/sqlengine.h"

#include <QDateTime>
#include <QString>

#include <sqlite3.h>

#include <random>

namespace bench {

constexpr int officeProgrammes = 20;

inline void runSql(sqlite3* db, const char* sql)
{
    sqlite3_stmt* s = nullptr;
    check(sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_DONE, sql);
    sqlite3_finalize(s);
}

// Fills the zhao.dat at path with `registrations` of them, the form items
// enabledItems (an SQL list of zd) switched on; one in twenty in the recycle
// bin when someInRecycleBin.
inline void generateOffice(const QString& path, int registrations, const char* enabledItems, bool someInRecycleBin)
{
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK, "open");
    check(sqlengine::registerJetFunctions(db), "functions");
    runSql(db, "BEGIN");
    runSql(db, (QStringLiteral("UPDATE style SET status=1 WHERE zd IN (") + QLatin1String(enabledItems) + QLatin1Char(')')).toUtf8().constData());
    for (int c = 1; c <= 4; ++c)
        runSql(db, QStringLiteral("INSERT INTO dd (name,sx,status) VALUES ('分部%1',%1,1)").arg(c).toUtf8().constData());
    for (int p = 1; p <= officeProgrammes; ++p)
        runSql(db, QStringLiteral("INSERT INTO zy (name,sx,status,ddid,xuefei) VALUES ('专业%1',%1,1,%2,1200)")
                    .arg(p)
                    .arg(1 + p % 4)
                    .toUtf8()
                    .constData());

    sqlite3_stmt* insert = nullptr;
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO bmb (status,xm,xb,nl,dtime,sh,fk,lx1,dd,bm1,bm2,bm3,mz,zj,kz1,kz3) "
                             "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,'汉族',?,'高中',?)",
                             -1, &insert, nullptr)
              == SQLITE_OK,
          "prepare insert");
    static const char* const family[] = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴"};
    static const char* const given[] = {"小明", "丽", "伟", "芳", "Abc", "静", "强", "敏", "磊", "洋"};
    static const char* const hobbies[] = {"^体育^", "^音乐^^美术^", "^计算机^", "^体育^^计算机^", ""};
    std::mt19937 random(20130506);
    const QDateTime first(QDate(2012, 1, 1), QTime(8, 0));
    for (int i = 0; i < registrations; ++i) {
        const QByteArray name = QByteArray(family[random() % 10]) + given[random() % 10] + QByteArray::number(i % 97);
        const QByteArray when = first.addSecs(qint64(i) * 300 + qint64(random() % 300)).toString("yyyy-MM-dd HH:mm:ss").toUtf8();
        const QByteArray phone = "138" + QByteArray::number(10000000 + int(random() % 89999999));
        const QByteArray bm3 = "^" + QByteArray::number(1 + int(random() % officeProgrammes)) + "^^"
                               + QByteArray::number(1 + int(random() % officeProgrammes)) + "^";
        const QByteArray idNumber = "3301" + QByteArray::number(100000000000LL + qint64(random() % 899999999));
        const QByteArray hobby = hobbies[random() % 5];
        sqlite3_bind_int(insert, 1, someInRecycleBin && random() % 20 == 0 ? 0 : 1);
        sqlite3_bind_text(insert, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 3, 1 + int(random() % 2));
        sqlite3_bind_double(insert, 4, 15 + int(random() % 30));
        sqlite3_bind_text(insert, 5, when.constData(), int(when.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 6, int(random() % 3) - 1);
        sqlite3_bind_int(insert, 7, int(random() % 3) - 1);
        sqlite3_bind_text(insert, 8, phone.constData(), int(phone.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 9, 1 + int(random() % 4));
        sqlite3_bind_int(insert, 10, 1 + int(random() % officeProgrammes));
        sqlite3_bind_int(insert, 11, 1 + int(random() % officeProgrammes));
        sqlite3_bind_text(insert, 12, bm3.constData(), int(bm3.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 13, idNumber.constData(), int(idNumber.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 14, hobby.constData(), int(hobby.size()), SQLITE_TRANSIENT);
        check(sqlite3_step(insert) == SQLITE_DONE, "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    runSql(db, "COMMIT");
    runSql(db, "ANALYZE");
    sqlite3_close(db);
}


} // namespace bench
