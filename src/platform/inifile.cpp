#include "platform/inifile.h"

#include "platform/text.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <cmath>
#include <limits>

namespace {

QStringList readLines(const QString& iniPath)
{
    QFile file(iniPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = fromGbk(file.readAll());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The section name of a "[name]" line, or an empty text for any other line.
QString sectionOf(const QString& line)
{
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']')))
        return trimmed.mid(1, trimmed.size() - 2).trimmed();
    return {};
}

bool isKeyLine(const QString& line, const QString& key, QString* value)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0 || line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) != 0)
        return false;
    if (value) {
        QString v = line.mid(equals + 1).trimmed();
        if (v.size() >= 2 && v.startsWith(QLatin1Char('"')) && v.endsWith(QLatin1Char('"')))
            v = v.mid(1, v.size() - 2);
        *value = v;
    }
    return true;
}

// The text on one line: every run of line breaks becomes one blank.
QString oneLine(const QString& text)
{
    QString line;
    line.reserve(text.size());
    for (const QChar c : text) {
        const bool lineBreak = c == QLatin1Char('\n') || c == QLatin1Char('\r');
        if (!lineBreak)
            line += c;
        else if (!line.endsWith(QLatin1Char(' ')))
            line += QLatin1Char(' ');
    }
    return line;
}

} // namespace

QString readIniValue(const QString& iniPath, const QString& key, const QString& defaultValue,
                     const QString& section)
{
    bool inSection = false;
    for (const QString& line : readLines(iniPath)) {
        const QString name = sectionOf(line);
        if (!name.isEmpty()) {
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        QString value;
        if (inSection && isKeyLine(line, key, &value))
            return value;
    }
    return defaultValue;
}

int readIniInteger(const QString& iniPath, const QString& key, int defaultValue, const QString& section)
{
    bool isNumber = false;
    const double value = readIniValue(iniPath, key, QString(), section).trimmed().toDouble(&isNumber);
    if (!isNumber || std::isnan(value))
        return defaultValue;
    return clampToInt(std::nearbyint(value));
}

void writeIniValue(const QString& iniPath, const QString& key, const QString& value,
                   const QString& section)
{
    QStringList lines = readLines(iniPath);
    const QString entry = key + QLatin1Char('=') + oneLine(value);
    qsizetype sectionStart = -1;
    qsizetype sectionEnd = lines.size();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString name = sectionOf(lines.at(i));
        if (name.isEmpty())
            continue;
        if (sectionStart >= 0) {
            sectionEnd = i;
            break;
        }
        if (name.compare(section, Qt::CaseInsensitive) == 0)
            sectionStart = i;
    }

    if (sectionStart < 0) {
        lines << QLatin1Char('[') + section + QLatin1Char(']') << entry;
    } else {
        bool replaced = false;
        for (qsizetype i = sectionStart + 1; i < sectionEnd && !replaced; ++i) {
            if (isKeyLine(lines.at(i), key, nullptr)) {
                lines[i] = entry;
                replaced = true;
            }
        }
        if (!replaced) {
            // New keys go after the section's last non-blank line.
            qsizetype at = sectionEnd;
            while (at > sectionStart + 1 && lines.at(at - 1).trimmed().isEmpty())
                --at;
            lines.insert(at, entry);
        }
    }

    QSaveFile file(iniPath);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(toGbk(lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n")));
    file.commit();
}
