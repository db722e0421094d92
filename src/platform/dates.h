#pragma once
// The date-to-text and text-to-date rules every subsystem shares.

#include <QDateTime>
#include <optional>

// The zero date of the store (1899-12-30 00:00:00): "no date".
QDateTime zeroDate();

// 2013年5月6日14时3分9秒; trailing zero parts of the time are left out
// (2013年5月6日14时3分, 2013年5月6日14时, 2013年5月6日).
QString dateToText(const QDateTime& moment);

// Reads the date-to-text form or an ISO-like text (2013-05-06 14:03:09,
// 2013/5/6, 2013-05-06T14:03). Nothing when the text is no date.
std::optional<QDateTime> textToDate(const QString& text);

// As textToDate, with 0100-01-01 00:00:00 for a text that is no date.
QDateTime textToDateOrEarliest(const QString& text);

// A spreadsheet's day number (the fraction the time of day, to the second)
// as a date and time, by calendar arithmetic, so no time zone's history
// enters. Day 1 is 1900-01-01, or 1904-01-02 in a workbook that counts from
// 1904 (date1904). Spreadsheets count a 29 February 1900 that never was:
// day 60 is it, and from day 61 on the count is one ahead of the calendar.
// Nothing for a number no date has (below day 1, day 60, past 9999).
std::optional<QDateTime> spreadsheetDayTime(double days, bool date1904);

// yyyy-MM-dd HH:mm:ss, the form date-time columns are stored in.
QString isoDateText(const QDateTime& moment);
