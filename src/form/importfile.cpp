#include "form/importfile.h"

#include "platform/text.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QXmlStreamReader>

#include <csv.h>
#include <zip.h>

#include <deque>

namespace {

constexpr qint64 readChunk = 64 * 1024;

QString megabytes(qint64 bytes)
{
    return QString::number(bytes >> 20) + QStringLiteral(" MB");
}

bool isBlankRow(const QStringList& cells)
{
    return std::all_of(cells.begin(), cells.end(), [](const QString& cell) { return trimBlanks(cell).isEmpty(); });
}

QString rowTooWideText(int line, int columns)
{
    return QStringLiteral("第%1行超过%2列的上限（有内容的列）").arg(line).arg(columns);
}

QString cellTooLongText(const QString& where, int characters)
{
    return where + QStringLiteral("超过%1个字符的上限（表格一格最多能放的字数）").arg(characters);
}

QString tooManyCellsText(qint64 cells)
{
    return QStringLiteral("有内容的单元格超过%1个的上限").arg(cells);
}

// A GBK character is ASCII or a lead byte 81..FE with a trail byte 40..FE
// (not 7F). The length of the character at bytes, 0 when it is none, -1
// when the bytes end first.
int gbkCharacter(const unsigned char* bytes, qint64 size)
{
    if (bytes[0] < 0x80)
        return 1;
    if (bytes[0] == 0x80 || bytes[0] == 0xFF)
        return 0;
    if (size < 2)
        return -1;
    return bytes[1] >= 0x40 && bytes[1] <= 0xFE && bytes[1] != 0x7F ? 2 : 0;
}

int utf8Character(const unsigned char* bytes, qint64 size)
{
    const unsigned char c = bytes[0];
    if (c < 0x80)
        return 1;
    const int length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (length == 0)
        return 0;
    for (int k = 1; k < length; ++k) {
        if (k >= size)
            return -1;
        if ((bytes[k] & 0xC0) != 0x80)
            return 0;
    }
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((c == 0xE0 && bytes[1] < 0xA0) || (c == 0xED && bytes[1] >= 0xA0) || (c == 0xF0 && bytes[1] < 0x90)
        || (c == 0xF4 && bytes[1] >= 0x90))
        return 0;
    return length;
}

// Walks a file's bytes in one encoding: how many characters beyond ASCII
// are valid, how many bytes are not, and the row of the first such byte.
struct EncodingCensus {
    explicit EncodingCensus(int (*character)(const unsigned char*, qint64)) : character(character) {}

    int (*character)(const unsigned char*, qint64);
    QByteArray pending;  // a character the chunk cut off
    int line = 1;
    int firstBadLine = 0;
    qint64 wide = 0;
    qint64 invalid = 0;

    void scan(const QByteArray& chunk, bool atEnd)
    {
        pending += chunk;
        const auto* bytes = reinterpret_cast<const unsigned char*>(pending.constData());
        const qint64 size = pending.size();
        qint64 i = 0;
        while (i < size) {
            int length = character(bytes + i, size - i);
            if (length < 0 && !atEnd)
                break;
            if (length <= 0) {
                ++invalid;
                if (firstBadLine == 0)
                    firstBadLine = line;
                length = 1;
            } else if (length > 1) {
                ++wide;
            } else if (bytes[i] == '\n') {
                ++line;
            }
            i += length;
        }
        pending.remove(0, i);
    }
};

} // namespace

QString csvEncodingName(CsvEncoding encoding)
{
    return encoding == CsvEncoding::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("GBK");
}

CsvEncodingGuess guessCsvEncoding(QIODevice& file)
{
    EncodingCensus utf8(utf8Character);
    EncodingCensus gbk(gbkCharacter);
    const QByteArray start = file.peek(3);
    for (bool atEnd = false; !atEnd;) {
        const QByteArray chunk = file.read(readChunk);
        atEnd = chunk.isEmpty();
        utf8.scan(chunk, atEnd);
        gbk.scan(chunk, atEnd);
    }
    CsvEncodingGuess guess;
    if (utf8.invalid == 0)
        return guess;
    // Text in GBK seldom forms valid UTF-8 sequences: a file that mostly
    // does is UTF-8 with a fault, and reading it as GBK garbles every row.
    const bool looksUtf8 = start.startsWith(csvByteOrderMark) || utf8.wide > utf8.invalid;
    guess.encoding = looksUtf8 ? CsvEncoding::Utf8 : CsvEncoding::Gbk;
    if (!looksUtf8 && gbk.invalid == 0)
        return guess;
    guess.certain = false;
    guess.badLine = looksUtf8 ? utf8.firstBadLine : gbk.firstBadLine;
    return guess;
}

class ImportFileReader::Source {
public:
    explicit Source(const ImportLimits& limits) : limits(limits) {}
    virtual ~Source() = default;
    // The next row holding something; false at the end or on a failure.
    virtual bool next(ImportLine& row) = 0;
    virtual qint64 bytesRead() const = 0;
    virtual qint64 bytesTotal() const = 0;

    const ImportLimits limits;
    QString error;
    bool date1904 = false;

protected:
    bool fail(const QString& why)
    {
        if (error.isEmpty())
            error = why;
        return false;
    }
    // Counts a cell holding a value; false past the limit.
    bool countCell()
    {
        if (++cells > limits.cells)
            return fail(tooManyCellsText(limits.cells));
        return true;
    }

private:
    qint64 cells = 0;
};

namespace {

class CsvSource : public ImportFileReader::Source {
public:
    CsvSource(const QString& path, CsvEncoding encoding, const ImportLimits& limits)
        : Source(limits), file(path), encoding(encoding)
    {
        if (!file.open(QIODevice::ReadOnly))
            fail(file.errorString());
        else if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_APPEND_NULL | CSV_REPALL_NL) != 0)
            fail(QStringLiteral("CSV读取程序无法启动"));
        else
            parserReady = true;
    }
    ~CsvSource() override
    {
        if (parserReady)
            csv_free(&parser);
    }

    bool next(ImportLine& row) override
    {
        while (ready.empty()) {
            if (!error.isEmpty() || finished)
                return false;
            feed();
        }
        row = std::move(ready.front());
        ready.pop_front();
        return true;
    }
    qint64 bytesRead() const override { return file.pos(); }
    qint64 bytesTotal() const override { return file.size(); }

private:
    void feed()
    {
        QByteArray chunk = file.read(readChunk);
        if (file.pos() == chunk.size() && encoding == CsvEncoding::Utf8 && chunk.startsWith(csvByteOrderMark))
            chunk.remove(0, 3);
        if (chunk.isEmpty()) {
            finished = true;
            if (csv_fini(&parser, onField, onRowEnd, this) != 0)
                fail(parseErrorText());
            return;
        }
        if (csv_parse(&parser, chunk.constData(), size_t(chunk.size()), onField, onRowEnd, this) != size_t(chunk.size()))
            fail(parseErrorText());
        // A field still open must not grow without end (an unclosed quote).
        else if (parser.entry_pos > size_t(limits.cellCharacters) * 4)
            fail(cellTooLongText(QStringLiteral("第%1行的一格").arg(line + 1), limits.cellCharacters));
    }

    QString parseErrorText()
    {
        return QStringLiteral("文件不是有效的CSV（第%1行）：").arg(line + 1)
               + QString::fromUtf8(csv_strerror(csv_error(&parser)));
    }

    static void onField(void* field, size_t length, void* data)
    {
        auto* self = static_cast<CsvSource*>(data);
        if (!self->error.isEmpty())
            return;
        self->rowHasFields = true;
        const QByteArray bytes = QByteArray::fromRawData(static_cast<const char*>(field), qsizetype(length));
        const QString cell = self->encoding == CsvEncoding::Utf8 ? QString::fromUtf8(bytes) : fromGbk(bytes);
        const int column = int(self->cells.size());
        if (cell.isEmpty()) {
            if (column < self->limits.columns)
                self->cells << cell;
            return;
        }
        if (column >= self->limits.columns)
            self->fail(rowTooWideText(self->line + 1, self->limits.columns));
        else if (cell.size() > self->limits.cellCharacters)
            self->fail(cellTooLongText(QStringLiteral("第%1行第%2列").arg(self->line + 1).arg(column + 1),
                                       self->limits.cellCharacters));
        else if (self->countCell())
            self->cells << cell;
    }

    // Every line break ends a row, so blank lines count; the LF of a CR LF
    // pair ends nothing.
    static void onRowEnd(int terminator, void* data)
    {
        auto* self = static_cast<CsvSource*>(data);
        const bool secondHalfOfCrLf = !self->rowHasFields && terminator == '\n' && self->lastTerminator == '\r';
        self->lastTerminator = terminator;
        if (secondHalfOfCrLf)
            return;
        ++self->line;
        if (self->error.isEmpty() && !isBlankRow(self->cells))
            self->ready.push_back({self->line, self->cells});
        self->cells.clear();
        self->rowHasFields = false;
    }

    QFile file;
    const CsvEncoding encoding;
    csv_parser parser{};
    bool parserReady = false;
    bool finished = false;
    int line = 0;
    int lastTerminator = 0;
    bool rowHasFields = false;
    QStringList cells;
    std::deque<ImportLine> ready;
};

// Why libzip could not give a part's bytes, in words for the operator.
QString zipErrorText(zip_error_t* error)
{
    switch (zip_error_code_zip(error)) {
    case ZIP_ER_CRC:
        return QStringLiteral("校验和（CRC）不符，文件已损坏");
    case ZIP_ER_INCONS:
        return QStringLiteral("大小与工作簿所记的不符，文件不完整或已损坏");
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
    case ZIP_ER_ENCRNOTSUPP:
        return QStringLiteral("已加密，请在表格程序中去掉密码后另存再导入");
    case ZIP_ER_COMPNOTSUPP:
        return QStringLiteral("压缩方式不受支持");
    case ZIP_ER_EOF:
    case ZIP_ER_READ:
        return QStringLiteral("文件不完整");
    default:
        return QString::fromUtf8(zip_error_strerror(error));
    }
}

using ZipArchive = std::unique_ptr<zip_t, void (*)(zip_t*)>;
using ZipFile = std::unique_ptr<zip_file_t, int (*)(zip_file_t*)>;

// One part of a workbook, unpacked as it is parsed, never more than a chunk
// ahead; read to its end, so libzip checks its CRC and its size.
class XmlPart {
public:
    XmlPart(zip_t* archive, const QString& name, qint64 limit, qint64 totalLimit, qint64& totalRead)
        : name(name), limit(limit), totalLimit(totalLimit), totalRead(totalRead), file(nullptr, zip_fclose)
    {
        zip_stat_t info;
        zip_stat_init(&info);
        const QByteArray entry = name.toUtf8();
        if (zip_stat(archive, entry.constData(), 0, &info) != 0)
            return;
        found = true;
        file.reset(zip_fopen(archive, entry.constData(), 0));
        if (!file)
            fail(zipErrorText(zip_get_error(archive)));
    }

    // The next token of the part; false at its end or on a failure.
    bool next()
    {
        if (!error.isEmpty())
            return false;
        for (;;) {
            xml.readNext();
            if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError && !unpacked) {
                if (!feed())
                    return false;
                continue;
            }
            if (xml.hasError())
                return fail(QStringLiteral("XML有误：") + xml.errorString());
            // Entities of a document type declaration would let a few bytes
            // grow into any number of characters; no workbook has one.
            if (xml.tokenType() == QXmlStreamReader::DTD)
                return fail(QStringLiteral("含有文档类型声明（实体），工作簿不会有，不予展开"));
            if (xml.tokenType() == QXmlStreamReader::EndDocument) {
                while (!unpacked)
                    if (!feed())
                        return false;
                return false;
            }
            return true;
        }
    }

    bool failed() const { return !error.isEmpty(); }
    bool fail(const QString& why)
    {
        if (error.isEmpty())
            error = name + QStringLiteral("：") + why;
        return false;
    }

    const QString name;
    bool found = false;
    QString error;
    QXmlStreamReader xml;
    qint64 read = 0;

private:
    bool feed()
    {
        if (!file)
            return fail(QStringLiteral("无法读取"));
        QByteArray chunk(readChunk, Qt::Uninitialized);
        const zip_int64_t got = zip_fread(file.get(), chunk.data(), zip_uint64_t(chunk.size()));
        if (got < 0)
            return fail(zipErrorText(zip_file_get_error(file.get())));
        if (got == 0) {
            unpacked = true;
            return true;
        }
        read += got;
        totalRead += got;
        if (read > limit)
            return fail(QStringLiteral("解压后超过%1的上限（工作簿每个部分）").arg(megabytes(limit)));
        if (totalRead > totalLimit)
            return fail(QStringLiteral("工作簿解压后合计超过%1的上限").arg(megabytes(totalLimit)));
        chunk.truncate(qsizetype(got));
        xml.addData(chunk);
        return true;
    }

    const qint64 limit;
    const qint64 totalLimit;
    qint64& totalRead;
    ZipFile file;
    bool unpacked = false;
};

// "AB12" as a 0-based column and a 1-based row, within a sheet's A1…XFD1048576.
bool parseCellReference(QStringView reference, int& column, int& row)
{
    qsizetype i = 0;
    column = 0;
    for (; i < reference.size() && i < 3 && reference[i] >= QLatin1Char('A') && reference[i] <= QLatin1Char('Z'); ++i)
        column = column * 26 + (reference[i].unicode() - 'A' + 1);
    if (i == 0 || i == reference.size() || reference[i] == QLatin1Char('0') || reference.size() - i > 7)
        return false;
    row = 0;
    for (; i < reference.size(); ++i) {
        if (reference[i] < QLatin1Char('0') || reference[i] > QLatin1Char('9'))
            return false;
        row = row * 10 + (reference[i].unicode() - '0');
    }
    --column;
    return column < 16384 && row <= 1048576;
}

bool isTrue(QStringView value)
{
    return value == QLatin1String("1") || value == QLatin1String("true");
}

class XlsxSource : public ImportFileReader::Source {
public:
    XlsxSource(const QString& path, const ImportLimits& limits) : Source(limits), archive(nullptr, zip_discard)
    {
        int code = 0;
        archive.reset(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code));
        if (!archive) {
            fail(QStringLiteral("文件不是有效的xlsx工作簿"));
            return;
        }
        QString sheetPath;
        QString sharedPath;
        if (!readWorkbook(sheetPath, sharedPath) || !readSharedStrings(sharedPath))
            return;
        zip_stat_t info;
        zip_stat_init(&info);
        if (zip_stat(archive.get(), sheetPath.toUtf8().constData(), 0, &info) == 0 && (info.valid & ZIP_STAT_SIZE))
            declaredSheetSize = qint64(info.size);
        sheet = std::make_unique<XmlPart>(archive.get(), sheetPath, limits.partBytes, limits.totalBytes, totalRead);
        if (!sheet->found)
            fail(QStringLiteral("工作簿中没有工作表"));
        else if (sheet->failed())
            fail(sheet->error);
    }

    bool next(ImportLine& row) override
    {
        if (!error.isEmpty() || !sheet)
            return false;
        while (sheet->next()) {
            if (!readToken())
                return false;
            if (rowDone) {
                rowDone = false;
                if (!isBlankRow(cells)) {
                    row = {line, cells};
                    return true;
                }
            }
        }
        return sheet->failed() ? fail(sheet->error) : false;
    }
    // The sheet's unpacked bytes so far against the size the archive gives it
    // (only ever shown, never believed).
    qint64 bytesRead() const override { return sheet ? sheet->read : 0; }
    qint64 bytesTotal() const override { return declaredSheetSize; }

private:
    // The first sheet's part and the shared strings' part, as the
    // workbook's relationships name them, and the date system.
    bool readWorkbook(QString& sheetPath, QString& sharedPath)
    {
        XmlPart book(archive.get(), QStringLiteral("xl/workbook.xml"), limits.partBytes, limits.totalBytes, totalRead);
        if (!book.found)
            return fail(QStringLiteral("文件不是有效的xlsx工作簿"));
        QString relationId;
        while (book.next())
            if (book.xml.isStartElement()) {
                if (book.xml.name() == QLatin1String("workbookPr"))
                    date1904 = isTrue(book.xml.attributes().value(QLatin1String("date1904")));
                else if (book.xml.name() == QLatin1String("sheet") && relationId.isEmpty())
                    for (const QXmlStreamAttribute& attribute : book.xml.attributes())
                        if (attribute.name() == QLatin1String("id"))
                            relationId = attribute.value().toString();
            }
        if (book.failed())
            return fail(book.error);

        sheetPath = QStringLiteral("xl/worksheets/sheet1.xml");
        sharedPath = QStringLiteral("xl/sharedStrings.xml");
        XmlPart links(archive.get(), QStringLiteral("xl/_rels/workbook.xml.rels"), limits.partBytes, limits.totalBytes,
                      totalRead);
        if (!links.found)
            return true;
        while (links.next()) {
            if (!links.xml.isStartElement() || links.xml.name() != QLatin1String("Relationship"))
                continue;
            const QXmlStreamAttributes attributes = links.xml.attributes();
            const QString target = attributes.value(QLatin1String("Target")).toString();
            const QString part = target.startsWith(QLatin1Char('/')) ? target.mid(1) : QStringLiteral("xl/") + target;
            if (attributes.value(QLatin1String("Id")) == relationId)
                sheetPath = part;
            else if (attributes.value(QLatin1String("Type")).endsWith(QLatin1String("/sharedStrings")))
                sharedPath = part;
        }
        return links.failed() ? fail(links.error) : true;
    }

    // Every string of the shared table, their phonetic runs (<rPh>) left out.
    bool readSharedStrings(const QString& path)
    {
        XmlPart part(archive.get(), path, limits.sharedStringsBytes, limits.totalBytes, totalRead);
        if (!part.found)
            return true;
        hasSharedStrings = true;
        QString text;
        int phonetic = 0;
        bool inText = false;
        while (part.next()) {
            QXmlStreamReader& xml = part.xml;
            if (xml.isStartElement()) {
                if (xml.name() == QLatin1String("si"))
                    text.clear();
                else if (xml.name() == QLatin1String("rPh"))
                    ++phonetic;
                else if (xml.name() == QLatin1String("t"))
                    inText = phonetic == 0;
            } else if (xml.isEndElement()) {
                if (xml.name() == QLatin1String("si")) {
                    if (shared.size() >= limits.cells)
                        return fail(part.name + QStringLiteral("：") + tooManyCellsText(limits.cells));
                    shared << text;
                } else if (xml.name() == QLatin1String("rPh")) {
                    --phonetic;
                } else if (xml.name() == QLatin1String("t")) {
                    inText = false;
                }
            } else if (xml.isCharacters() && inText) {
                text += xml.text();
                if (text.size() > limits.cellCharacters)
                    return fail(cellTooLongText(part.name + QStringLiteral("的第%1个字符串").arg(shared.size() + 1),
                                                limits.cellCharacters));
            }
        }
        return part.failed() ? fail(part.error) : true;
    }

    // One token of the sheet: a row begun or ended, a cell, its value.
    bool readToken()
    {
        QXmlStreamReader& xml = sheet->xml;
        if (xml.isStartElement()) {
            const QStringView name = xml.name();
            if (name == QLatin1String("row")) {
                const QStringView number = xml.attributes().value(QLatin1String("r"));
                if (number.isEmpty()) {
                    ++line;
                } else {
                    bool ok = false;
                    line = number.toInt(&ok);
                    if (!ok || line < 1 || line > 1048576)
                        return fail(sheet->name + QStringLiteral("：行号无效：r=\"%1\"").arg(number.left(20)));
                }
                cells.clear();
                column = -1;
            } else if (name == QLatin1String("c")) {
                const QStringView reference = xml.attributes().value(QLatin1String("r"));
                int referencedRow = 0;
                if (reference.isEmpty())
                    ++column;
                else if (!parseCellReference(reference, column, referencedRow))
                    return fail(sheet->name + QStringLiteral("：单元格引用无效：r=\"%1\"（不在A1至XFD1048576之内）")
                                                  .arg(reference.left(20)));
                cellName = reference.isEmpty() ? QStringLiteral("第%1行第%2列").arg(line).arg(column + 1)
                                               : reference.toString();
                type = xml.attributes().value(QLatin1String("t")).toString();
                value.clear();
            } else if (name == QLatin1String("v") || name == QLatin1String("is")) {
                inValue = true;
                inlineString = name == QLatin1String("is");
            } else if (name == QLatin1String("rPh")) {
                ++phonetic;
            } else if (name == QLatin1String("t")) {
                inText = phonetic == 0;
            }
        } else if (xml.isCharacters()) {
            if (inValue && (!inlineString || inText)) {
                value += xml.text();
                if (value.size() > limits.cellCharacters)
                    return fail(cellTooLongText(sheet->name + QStringLiteral("：单元格") + cellName, limits.cellCharacters));
            }
        } else if (xml.isEndElement()) {
            const QStringView name = xml.name();
            if (name == QLatin1String("v") || name == QLatin1String("is"))
                inValue = false;
            else if (name == QLatin1String("rPh"))
                --phonetic;
            else if (name == QLatin1String("t"))
                inText = false;
            else if (name == QLatin1String("c"))
                return endCell();
            else if (name == QLatin1String("row"))
                rowDone = true;
        }
        return true;
    }

    bool endCell()
    {
        QString text = value;
        if (type == QLatin1String("s") && !value.isEmpty()) {
            bool ok = false;
            const qint64 index = value.toLongLong(&ok);
            if (!hasSharedStrings)
                return fail(QStringLiteral("工作簿缺少共享字符串（xl/sharedStrings.xml），单元格%1要用它").arg(cellName));
            if (!ok || index < 0 || index >= shared.size())
                return fail(sheetName() + QStringLiteral("：单元格%1的共享字符串编号无效：%2")
                                              .arg(cellName, value.left(20)));
            text = shared.at(index);
        } else if (type == QLatin1String("b")) {
            text = value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        }
        if (text.isEmpty())
            return true;
        if (column >= limits.columns)
            return fail(sheetName() + QStringLiteral("：单元格") + cellName + QStringLiteral("：")
                        + rowTooWideText(line, limits.columns));
        if (!countCell())
            return false;
        while (cells.size() <= column)
            cells << QString();
        cells[column] = text;
        return true;
    }

    QString sheetName() const { return sheet->name; }

    ZipArchive archive;
    std::unique_ptr<XmlPart> sheet;
    qint64 totalRead = 0;
    qint64 declaredSheetSize = 0;
    bool hasSharedStrings = false;
    QStringList shared;

    int line = 0;
    int column = -1;
    QStringList cells;
    bool rowDone = false;
    QString cellName;
    QString type;
    QString value;
    bool inValue = false;
    bool inlineString = false;
    bool inText = false;
    int phonetic = 0;
};

} // namespace

ImportFileReader::ImportFileReader(const QString& path, CsvEncoding encoding, const ImportLimits& limits)
{
    if (QFileInfo(path).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0)
        source = std::make_unique<XlsxSource>(path, limits);
    else
        source = std::make_unique<CsvSource>(path, encoding, limits);
}

ImportFileReader::~ImportFileReader() = default;

bool ImportFileReader::next(ImportLine& row)
{
    return source->next(row);
}

const QString& ImportFileReader::error() const
{
    return source->error;
}

bool ImportFileReader::date1904() const
{
    return source->date1904;
}

qint64 ImportFileReader::bytesRead() const
{
    return source->bytesRead();
}

qint64 ImportFileReader::bytesTotal() const
{
    return source->bytesTotal();
}

bool readImportRows(const QString& path, CsvEncoding encoding, int maxRows, ImportTable& table, QString* error)
{
    table = {};
    ImportFileReader reader(path, encoding);
    ImportLine row;
    while (table.rows.size() < maxRows && reader.next(row))
        table.rows << row;
    table.date1904 = reader.date1904();
    if (reader.error().isEmpty())
        return true;
    if (error)
        *error = reader.error();
    return false;
}

QByteArray csvCell(const QString& text)
{
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    const QString cell = !text.isEmpty() && formulaStarts.contains(text.front()) ? QLatin1Char('\'') + text : text;
    const QByteArray bytes = cell.toUtf8();
    QByteArray quoted(qsizetype(csv_write(nullptr, 0, bytes.constData(), size_t(bytes.size()))), Qt::Uninitialized);
    csv_write(quoted.data(), size_t(quoted.size()), bytes.constData(), size_t(bytes.size()));
    return quoted;
}

QByteArray csvRow(const QStringList& cells)
{
    QByteArray out;
    for (int column = 0; column < cells.size(); ++column) {
        if (column > 0)
            out += ',';
        out += csvCell(cells.at(column));
    }
    return out + "\r\n";
}

bool writeCsvFile(const QString& path, const QVector<QStringList>& rows, int columns, QString* error)
{
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly) && file.write(csvByteOrderMark) == 3;
    for (int r = 0; written && r < rows.size(); ++r) {
        QStringList cells = rows.at(r).mid(0, columns);
        while (cells.size() < columns)
            cells << QString();
        const QByteArray line = csvRow(cells);
        written = file.write(line) == line.size();
    }
    if (written && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}
