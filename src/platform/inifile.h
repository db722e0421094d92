#pragma once
// duzarizered.ini, read and written as Windows profile files are: GBK text,
// [section] headers and keys without regard to case, a missing file or key
// gives the default, a failed write is ignored.

#include <QString>

QString readIniValue(const QString& iniPath, const QString& key, const QString& defaultValue,
                     const QString& section = QStringLiteral("base"));
// An integer setting: the value read as a number (" 7 ", "12.5", "1e20"),
// rounded, and kept within the int range (1e20 gives 2147483647); the default
// when the key is missing or holds no number.
int readIniInteger(const QString& iniPath, const QString& key, int defaultValue,
                   const QString& section = QStringLiteral("base"));
// Line breaks in the value are written as blanks, so a value always stays on
// its key's line and can never add a key of its own.
void writeIniValue(const QString& iniPath, const QString& key, const QString& value,
                   const QString& section = QStringLiteral("base"));
