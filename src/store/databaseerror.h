#pragma once
// The everyday failures of the database engine (a file another program holds,
// a full disk, a read-only file) in the operator's words.

#include <QString>

// What went wrong in Chinese, with the engine's own text after it for whoever
// looks into it: "数据库正被其他程序使用，请稍后再试。（database is locked）".
// engineCode is SQLite's (extended) result code; when it is 0 the engine's
// standard texts are recognised instead. A failure without Chinese words
// (an error in a statement) keeps the engine's text alone, and an empty text
// stays empty.
QString operatorErrorText(int engineCode, const QString& engineText);
