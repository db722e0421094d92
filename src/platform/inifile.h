#pragma once
// duzarizered.ini, read and written as Windows profile files are: GBK text,
// [section] headers and keys without regard to case, a missing file or key
// gives the default, a failed write is ignored.

#include <QString>

QString readIniValue(const QString& iniPath, const QString& key, const QString& defaultValue,
                     const QString& section = QStringLiteral("base"));
void writeIniValue(const QString& iniPath, const QString& key, const QString& value,
                   const QString& section = QStringLiteral("base"));
