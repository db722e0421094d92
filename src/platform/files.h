#pragma once
// Files the program writes for itself.

#include <QString>

// A new name in the system temporary directory: the tick count and a counter
// in lower-case hexadecimal, ".tmp", then the given suffix (".htm", ".bmp").
QString uniqueTempFileName(const QString& suffix);

// Why the system refused a file operation, in words for the operator, from
// the C library's error number (errno) just after the failure: "磁盘空间不足",
// "没有写入权限", "文件夹不存在" and the like.
QString fileErrorText(int errorNumber);
