#pragma once
// Files the program writes for itself.

#include <QString>

// A new name in the system temporary directory: the tick count and a counter
// in lower-case hexadecimal, ".tmp", then the given suffix (".htm", ".bmp").
QString uniqueTempFileName(const QString& suffix);

