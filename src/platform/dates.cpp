#include "platform/dates.h"

#include "platform/text.h"

#include <QRegularExpression>

#include <cmath>

QDateTime zeroDate()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0, 0));
}

QString dateToText(const QDateTime& moment)
{
    const QDate date = moment.date();
    const QTime time = moment.time();
    QString text = QString::asprintf("%d年%d月%d日", date.year(), date.month(), date.day());
    if (time.second() != 0)
        text += QString::asprintf("%d时%d分%d秒", time.hour(), time.minute(), time.second());
    else if (time.minute() != 0)
        text += QString::asprintf("%d时%d分", time.hour(), time.minute());
    else if (time.hour() != 0)
        text += QString::asprintf("%d时", time.hour());
    return text;
}

std::optional<QDateTime> textToDate(const QString& text)
{
    static const QRegularExpression chinese(QStringLiteral(
        "^(\\d{1,4})年(\\d{1,2})月(\\d{1,2})日\\s*(?:(\\d{1,2})时(?:(\\d{1,2})分(?:(\\d{1,2})秒)?)?)?$"));
    static const QRegularExpression iso(QStringLiteral(
        "^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})(?:[ T]+(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?)?$"));

    const QString trimmed = trimBlanks(text).trimmed();
    QRegularExpressionMatch match = chinese.match(trimmed);
    if (!match.hasMatch())
        match = iso.match(trimmed);
    if (!match.hasMatch())
        return std::nullopt;

    auto part = [&match](int n) { return match.captured(n).isEmpty() ? 0 : match.captured(n).toInt(); };
    const QDate date(part(1), part(2), part(3));
    const QTime time(part(4), part(5), part(6));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

QDateTime textToDateOrEarliest(const QString& text)
{
    return textToDate(text).value_or(QDateTime(QDate(100, 1, 1), QTime(0, 0, 0)));
}

std::optional<QDateTime> spreadsheetDayTime(double days, bool date1904)
{
    if (!(days >= (date1904 ? 0.0 : 1.0) && days < 3e6))
        return std::nullopt;
    const qint64 seconds = std::llround(days * 86400.0);
    const qint64 day = seconds / 86400;
    QDate date;
    if (date1904)
        date = QDate(1904, 1, 1).addDays(day);
    else if (day < 60)
        date = QDate(1899, 12, 31).addDays(day);
    else if (day > 60)
        date = QDate(1899, 12, 30).addDays(day);
    if (!date.isValid() || date.year() > 9999)
        return std::nullopt;
    return QDateTime(date, QTime(0, 0).addSecs(int(seconds % 86400)), Qt::UTC);
}

QString isoDateText(const QDateTime& moment)
{
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
