#pragma once
// The HTML files printing writes and reads beside the program or in the
// temporary directory: GB18030 bytes (GBK for every character GBK has), no
// byte-order mark. The print window's browser is told they are GB18030,
// whatever charset the page itself declares.

#include <QString>

// Creates or replaces the file; a failed write is left to the browser to show.
void writeHtmlFile(const QString& path, const QString& html);
// The file's text; empty when it cannot be read.
QString readHtmlFile(const QString& path);
