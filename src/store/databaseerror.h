#pragma once
// The everyday failures of the database engine (data another program or desk
// holds, a full disk, a read-only file, a server out of reach) in the
// operator's words.

#include "store/engine.h"

#include <QString>

// What went wrong in Chinese, with the engine's own text after it for whoever
// looks into it: "数据库正被其他程序使用，请稍后再试。（database is locked）".
// A failure without Chinese words (an error in a statement) keeps the
// engine's text alone, and an empty text stays empty.
QString operatorErrorText(store::ErrorKind kind, const QString& engineText);
