#pragma once
// Tables read from and written to the spreadsheet files registrations come
// in and go out with: CSV (UTF-8 with or without a byte-order mark, or GBK)
// and the first sheet of an .xlsx workbook. The files come from outside, so
// they are read row by row, within limits, and nothing a file declares about
// its own sizes is believed.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <optional>

class QIODevice;

// What one file may hold. A file over a limit is refused, naming the limit.
struct ImportLimits {
    qint64 partBytes = qint64(256) << 20;          // one part of a workbook, unpacked
    qint64 sharedStringsBytes = qint64(64) << 20;  // the shared strings, which are kept in memory
    qint64 totalBytes = qint64(512) << 20;         // every part read, unpacked
    qint64 cells = 30'000'000;                     // cells holding a value, in all
    int columns = 64;                              // columns holding a value, per row
    int cellCharacters = 32767;                    // as a spreadsheet cell allows
};

// One row of a file holding something: its row as a spreadsheet shows it
// (1-based, blank rows counted) and its cells.
struct ImportLine {
    int line = 0;
    QStringList cells;
};

enum class CsvEncoding { Utf8, Gbk };

// The encoding a CSV file's bytes are in. `certain` is false when the bytes
// are valid in neither: `encoding` is then the one the file looks like and
// `badLine` the first row that breaks it.
struct CsvEncodingGuess {
    CsvEncoding encoding = CsvEncoding::Utf8;
    bool certain = true;
    int badLine = 0;
};
CsvEncodingGuess guessCsvEncoding(QIODevice& file);
QString csvEncodingName(CsvEncoding encoding);

// Reads a file's rows one after another: .xlsx as a workbook (its first
// sheet), anything else as CSV in the given encoding (bytes invalid in it
// read as U+FFFD). Blank rows are left out.
class ImportFileReader {
public:
    ImportFileReader(const QString& path, CsvEncoding encoding, const ImportLimits& limits = {});
    ~ImportFileReader();
    ImportFileReader(const ImportFileReader&) = delete;
    ImportFileReader& operator=(const ImportFileReader&) = delete;

    // The next row; false at the end of the file, and on a failure, when
    // error() says why (the part of a workbook, the row, the cell or the
    // limit it broke).
    bool next(ImportLine& row);
    const QString& error() const;
    // Day numbers count from 1904-01-01 (date1904) instead of 1899-12-30.
    bool date1904() const;
    // How far the reading is, in bytes of the file (or of the sheet).
    qint64 bytesRead() const;
    qint64 bytesTotal() const;

    class Source;

private:
    std::unique_ptr<Source> source;
};

// Rows read at once.
struct ImportTable {
    QVector<ImportLine> rows;
    bool date1904 = false;
};

// The first `maxRows` rows of a file (the header among them); false with
// the cause in error when the file cannot be read that far.
bool readImportRows(const QString& path, CsvEncoding encoding, int maxRows, ImportTable& table, QString* error);

// A cell as a CSV file writes it: quoted, and a text a spreadsheet would run
// as a formula (= + - @ tab CR first) kept as text by a leading '.
QByteArray csvCell(const QString& text);
// One row of cells, ended by CR LF.
QByteArray csvRow(const QStringList& cells);
// What every CSV file the program writes starts with, so spreadsheet
// programs read the Chinese texts as UTF-8.
constexpr char csvByteOrderMark[] = "\xEF\xBB\xBF";

// Writes the rows to path whole (a failure leaves no half file), each
// padded or cut to `columns` cells.
bool writeCsvFile(const QString& path, const QVector<QStringList>& rows, int columns, QString* error);
