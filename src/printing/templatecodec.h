#pragma once
// The stored form of template HTML (dy.xx): GBK bytes outside a small kept
// set are written as %XX, so the stored text never holds a quote, a blank or
// a line break and sits between single quotes in a statement as it is.

#include <QString>

QString encodeTemplateText(const QString& text);
// Accepts lower-case hexadecimal digits too; a "%" not followed by two
// hexadecimal digits is kept as it stands.
QString decodeTemplateText(const QString& stored);
