#include "platform/text.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QTextCodec>

#include <cmath>
#include <limits>

namespace {

QTextCodec* gbkCodec()
{
    static QTextCodec* codec = QTextCodec::codecForName("GBK");
    return codec;
}

QTextCodec* gb18030Codec()
{
    static QTextCodec* codec = QTextCodec::codecForName("GB18030");
    return codec;
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QChar(0x3000);
}

} // namespace

QString trimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QByteArray toGbk(const QString& text)
{
    return gbkCodec() ? gbkCodec()->fromUnicode(text) : text.toLocal8Bit();
}

QString fromGbk(const QByteArray& bytes)
{
    return gbkCodec() ? gbkCodec()->toUnicode(bytes) : QString::fromLocal8Bit(bytes);
}

bool isGbkEncodable(const QString& text)
{
    return !gbkCodec() || gbkCodec()->canEncode(text);
}

QByteArray toGb18030(const QString& text)
{
    return gb18030Codec() ? gb18030Codec()->fromUnicode(text) : toGbk(text);
}

QString fromGb18030(const QByteArray& bytes)
{
    return gb18030Codec() ? gb18030Codec()->toUnicode(bytes) : fromGbk(bytes);
}

int gbkLength(const QString& text)
{
    return int(toGbk(text).size());
}

QString passwordDigest(const QString& text)
{
    return QString::fromLatin1(QCryptographicHash::hash(toGbk(text), QCryptographicHash::Md5).toHex());
}

QString quoteForSql(const QString& value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return quoted;
}

QString numberToText(double value)
{
    return QString::asprintf("%.13g", value);
}

double textToNumber(const QString& text)
{
    bool ok = false;
    const double value = trimBlanks(text).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

bool isPlainNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
    const QString trimmed = trimBlanks(text);
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    return number.match(trimmed).hasMatch() && ok && std::isfinite(value);
}

int clampToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(value);
}
