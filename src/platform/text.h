#pragma once
// Text conventions shared by every subsystem: blanks, GBK bytes, digests,
// the SQL quoting rule and the value-to-text conversions.

#include <QByteArray>
#include <QString>

// Removes leading and trailing ASCII blanks and the double-byte blank "　".
QString trimBlanks(const QString& text);

QByteArray toGbk(const QString& text);
QString fromGbk(const QByteArray& bytes);
// Whether every character has GBK bytes (an emoji has none and would turn into "?").
bool isGbkEncodable(const QString& text);
// GB18030: GBK's superset, whose bytes equal GBK's for every character GBK
// has and which writes every other character (王䶮) instead of "?".
QByteArray toGb18030(const QString& text);
QString fromGb18030(const QByteArray& bytes);
// Length of the text in GBK bytes (a Chinese character counts 2).
int gbkLength(const QString& text);

// MD5 of the text's GBK bytes as 32 lower-case hexadecimal digits.
QString passwordDigest(const QString& text);

// A text value to be placed between single quotes in a statement: embedded
// quotes are doubled so the value is stored as typed and cannot end the literal.
// A NUL character is kept: the store refuses the whole statement holding it,
// since SQLite would silently drop everything after it.
QString quoteForSql(const QString& value);

// Doubles the way statements write them: C's "%.13g".
QString numberToText(double value);

// The integer part of a number, kept within the int range (1e20 gives
// 2147483647); not-a-number gives 0.
int clampToInt(double value);

// A text read as a number; a text that is not a finite number ("abc", "inf",
// "nan") gives 0.
double textToNumber(const QString& text);

// Whether the text, blanks trimmed, may stand in a statement as a number:
// an optional sign, digits with an optional decimal part and exponent, and a
// finite value ("inf", "nan", "1e999" and "1,2" are no numbers).
bool isPlainNumber(const QString& text);
