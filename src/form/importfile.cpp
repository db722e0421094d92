#include "form/importfile.h"

#include "platform/text.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <csv.h>
#include <zip.h>

#include <memory>

namespace {

struct CsvCollector {
    ImportTable* table;
    QStringList row;
};

void csvField(void* field, size_t length, void* data)
{
    auto* collector = static_cast<CsvCollector*>(data);
    collector->row << QString::fromUtf8(static_cast<const char*>(field), qsizetype(length));
}

void csvRowEnd(int, void* data)
{
    auto* collector = static_cast<CsvCollector*>(data);
    const bool blank = std::all_of(collector->row.begin(), collector->row.end(),
                                   [](const QString& cell) { return trimBlanks(cell).isEmpty(); });
    if (!blank)
        collector->table->rows << collector->row;
    collector->row.clear();
}

// A workbook entry's bytes; empty when the workbook has no such entry.
QByteArray zipEntry(zip_t* archive, const QString& name, bool* found)
{
    const QByteArray entryName = name.toUtf8();
    zip_stat_t info;
    zip_stat_init(&info);
    if (zip_stat(archive, entryName.constData(), 0, &info) != 0) {
        *found = false;
        return {};
    }
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(zip_fopen(archive, entryName.constData(), 0), zip_fclose);
    if (!file) {
        *found = false;
        return {};
    }
    QByteArray bytes(qsizetype(info.size), Qt::Uninitialized);
    *found = zip_fread(file.get(), bytes.data(), info.size) == zip_int64_t(info.size);
    return bytes;
}

// The text of the element the reader stands on, its <t> parts joined; the
// phonetic runs (<rPh>) a string may carry are not part of it.
QString stringItemText(QXmlStreamReader& xml)
{
    QString text;
    const QString end = xml.name().toString();
    int phonetic = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("rPh"))
            ++phonetic;
        else if (xml.isEndElement() && xml.name() == QLatin1String("rPh"))
            --phonetic;
        else if (xml.isStartElement() && xml.name() == QLatin1String("t") && phonetic == 0)
            text += xml.readElementText();
        else if (xml.isEndElement() && xml.name() == end)
            break;
    }
    return text;
}

// 0-based column of a cell reference ("AB12" gives 27).
int columnOfReference(const QString& reference)
{
    int column = 0;
    for (const QChar c : reference) {
        if (c < QLatin1Char('A') || c > QLatin1Char('Z'))
            break;
        column = column * 26 + (c.unicode() - 'A' + 1);
    }
    return column - 1;
}

// The path inside the workbook of its first sheet.
QString firstSheetPath(const QByteArray& workbook, const QByteArray& relations)
{
    QString relationId;
    QXmlStreamReader book(workbook);
    while (!book.atEnd() && relationId.isEmpty())
        if (book.readNextStartElement() && book.name() == QLatin1String("sheet"))
            for (const QXmlStreamAttribute& attribute : book.attributes())
                if (attribute.name() == QLatin1String("id"))
                    relationId = attribute.value().toString();
    QXmlStreamReader links(relations);
    while (!links.atEnd()) {
        if (links.readNextStartElement() && links.name() == QLatin1String("Relationship")
            && links.attributes().value(QLatin1String("Id")) == relationId) {
            const QString target = links.attributes().value(QLatin1String("Target")).toString();
            return target.startsWith(QLatin1Char('/')) ? target.mid(1) : QStringLiteral("xl/") + target;
        }
    }
    return QStringLiteral("xl/worksheets/sheet1.xml");
}

} // namespace

QString decodeCsvBytes(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text.startsWith(QChar(0xFEFF)) ? text.mid(1) : text;
    return fromGbk(bytes);
}

bool parseCsv(const QString& text, ImportTable& table, QString* error)
{
    table.rows.clear();
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_APPEND_NULL) != 0) {
        if (error)
            *error = QStringLiteral("CSV读取程序无法启动");
        return false;
    }
    CsvCollector collector{&table, {}};
    const QByteArray bytes = text.toUtf8();
    const bool parsed = csv_parse(&parser, bytes.constData(), size_t(bytes.size()), csvField, csvRowEnd, &collector)
                            == size_t(bytes.size())
                        && csv_fini(&parser, csvField, csvRowEnd, &collector) == 0;
    if (!parsed && error)
        *error = QStringLiteral("文件不是有效的CSV：") + QString::fromUtf8(csv_strerror(csv_error(&parser)));
    csv_free(&parser);
    return parsed;
}

bool readXlsx(const QString& path, ImportTable& table, QString* error)
{
    table.rows.clear();
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    int code = 0;
    std::unique_ptr<zip_t, void (*)(zip_t*)> archive(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code),
                                                     zip_discard);
    if (!archive)
        return fail(QStringLiteral("文件不是有效的xlsx工作簿"));

    bool found = false;
    const QByteArray workbook = zipEntry(archive.get(), QStringLiteral("xl/workbook.xml"), &found);
    if (!found)
        return fail(QStringLiteral("文件不是有效的xlsx工作簿"));
    const QByteArray relations = zipEntry(archive.get(), QStringLiteral("xl/_rels/workbook.xml.rels"), &found);
    const QByteArray sheet = zipEntry(archive.get(), firstSheetPath(workbook, relations), &found);
    if (!found)
        return fail(QStringLiteral("工作簿中没有工作表"));

    QStringList shared;
    const QByteArray sharedBytes = zipEntry(archive.get(), QStringLiteral("xl/sharedStrings.xml"), &found);
    for (QXmlStreamReader xml(sharedBytes); found && !xml.atEnd();)
        if (xml.readNextStartElement() && xml.name() == QLatin1String("si"))
            shared << stringItemText(xml);

    QXmlStreamReader xml(sheet);
    QStringList row;
    QString type;
    int column = 0;
    auto endRow = [&] {
        const bool blank = std::all_of(row.begin(), row.end(), [](const QString& cell) { return trimBlanks(cell).isEmpty(); });
        if (!blank)
            table.rows << row;
        row.clear();
    };
    auto put = [&](const QString& value) {
        while (row.size() < column)
            row << QString();
        if (row.size() == column)
            row << value;
        else
            row[column] = value;
    };
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("c")) {
                const QString reference = xml.attributes().value(QLatin1String("r")).toString();
                column = reference.isEmpty() ? int(row.size()) : columnOfReference(reference);
                type = xml.attributes().value(QLatin1String("t")).toString();
            } else if (xml.name() == QLatin1String("v")) {
                const QString value = xml.readElementText();
                if (type == QLatin1String("s"))
                    put(shared.value(value.toInt()));
                else if (type == QLatin1String("b"))
                    put(value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
                else
                    put(value);
            } else if (xml.name() == QLatin1String("is")) {
                put(stringItemText(xml));
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("row")) {
            endRow();
        }
    }
    if (xml.hasError())
        return fail(QStringLiteral("工作表无法读取：") + xml.errorString());
    return true;
}

bool readImportFile(const QString& path, ImportTable& table, QString* error)
{
    if (QFileInfo(path).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0)
        return readXlsx(path, table, error);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return parseCsv(decodeCsvBytes(file.readAll()), table, error);
}

QByteArray csvFileBytes(const QVector<QStringList>& rows, int columns)
{
    QByteArray out("\xEF\xBB\xBF");
    for (const QStringList& cells : rows) {
        for (int column = 0; column < columns; ++column) {
            if (column > 0)
                out += ',';
            const QByteArray bytes = cells.value(column).toUtf8();
            QByteArray quoted(qsizetype(csv_write(nullptr, 0, bytes.constData(), size_t(bytes.size()))), Qt::Uninitialized);
            csv_write(quoted.data(), size_t(quoted.size()), bytes.constData(), size_t(bytes.size()));
            out += quoted;
        }
        out += "\r\n";
    }
    return out;
}

bool writeCsvFile(const QString& path, const QVector<QStringList>& rows, int columns, QString* error)
{
    const QByteArray out = csvFileBytes(rows, columns);
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(out) == out.size() && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}
