#pragma once
// Tables read from and written to the spreadsheet files registrations come
// in and go out with: CSV (UTF-8 with or without a byte-order mark, or GBK)
// and the first sheet of an .xlsx workbook.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// The rows of a file, every cell as text; the first row is the header.
struct ImportTable {
    QVector<QStringList> rows;
};

// UTF-8 when the bytes are valid UTF-8 (a byte-order mark is dropped),
// otherwise GBK, which spreadsheet programs on Chinese systems write.
QString decodeCsvBytes(const QByteArray& bytes);

// The records of CSV text: quoted fields may hold commas, quotes and line
// breaks. Blank lines are left out. False with the cause in error when the
// text is no CSV (an unclosed quote).
bool parseCsv(const QString& text, ImportTable& table, QString* error);

// The first sheet of a workbook: shared and inline strings, numbers as
// written (a date is its day number). Empty cells between filled ones are
// kept, so every row's cells stand in their columns.
bool readXlsx(const QString& path, ImportTable& table, QString* error);

// Reads .xlsx as a workbook and anything else as CSV.
bool readImportFile(const QString& path, ImportTable& table, QString* error);

// The bytes of a CSV file: UTF-8 with a byte-order mark, so spreadsheet
// programs read the Chinese texts; every field quoted, rows ended by CR LF,
// each row padded or cut to `columns` fields.
QByteArray csvFileBytes(const QVector<QStringList>& rows, int columns);

// Writes csvFileBytes to path whole (a failure leaves no half file).
bool writeCsvFile(const QString& path, const QVector<QStringList>& rows, int columns, QString* error);
