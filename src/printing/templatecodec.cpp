#include "printing/templatecodec.h"

#include "platform/text.h"

namespace {

bool isKeptByte(unsigned char byte)
{
    return byte == 42 || (byte >= 44 && byte <= 57) || (byte >= 64 && byte <= 90) || byte == 95
           || (byte >= 97 && byte <= 122);
}

int hexValue(QChar digit)
{
    const char c = digit.toUpper().toLatin1();
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

QString encodeTemplateText(const QString& text)
{
    static const char digits[] = "0123456789ABCDEF";
    const QByteArray bytes = toGbk(text);
    QString stored;
    stored.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (isKeptByte(byte)) {
            stored += QLatin1Char(c);
        } else {
            stored += QLatin1Char('%');
            stored += QLatin1Char(digits[byte >> 4]);
            stored += QLatin1Char(digits[byte & 0xF]);
        }
    }
    return stored;
}

QString decodeTemplateText(const QString& stored)
{
    QByteArray bytes;
    bytes.reserve(stored.size());
    for (int i = 0; i < stored.size(); ++i) {
        const QChar c = stored[i];
        if (c == QLatin1Char('%') && i + 2 < stored.size()) {
            const int high = hexValue(stored[i + 1]);
            const int low = hexValue(stored[i + 2]);
            if (high >= 0 && low >= 0) {
                bytes += char(high * 16 + low);
                i += 2;
                continue;
            }
        }
        if (c.unicode() < 128)
            bytes += char(c.unicode());
        else  // text not in the stored form (written by another program) keeps its own bytes
            bytes += toGbk(QString(c));
    }
    return fromGbk(bytes);
}
