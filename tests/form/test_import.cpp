// Registrations imported from spreadsheets: the files read (CSV in UTF-8 or
// GBK, .xlsx), the cells converted as the add page converts entries, and the
// import window storing the good rows together and writing the others out.
#include "support/openstate.h"
#include "support/addpageentry.h"

#include "core/lists.h"
#include "form/addpage.h"
#include "form/importwindow.h"
#include "platform/messagebox.h"
#include "platform/text.h"
#include "records/screenshots.h"
#include "store/schema.h"

#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <xlsxwriter.h>

using Rows = QVector<QStringList>;

namespace {

FormItem item(const char* zd, int type, const char* caption, const char* options = "")
{
    FormItem entry;
    entry.zd = QString::fromLatin1(zd);
    entry.lx = type;
    entry.nam = QString::fromUtf8(caption);
    entry.val = QString::fromUtf8(options);
    return entry;
}

// One applicant, as the add page test enters it and the files give it.
const QStringList header = {"姓名", "性别", "年龄", "民族", "zj", "联系电话", "联系地址", "个人简介", "学历",
                            "兴趣特长", "第一志愿", "第二志愿", "其他志愿"};
const QString profile = QStringLiteral("第一行, \"引号\"\n第二行");
const QStringList applicant = {"王小明", "男", "18", "汉族", "11010119900307123X", "13800000000", "北京路1号",
                               profile, "高中", "音乐；计算机", "会计", "烹饪", "会计、烹饪"};

QByteArray csvText(const Rows& rows)
{
    QString text;
    for (const QStringList& row : rows) {
        QStringList quoted;
        for (QString cell : row)
            quoted << QLatin1Char('"') + cell.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
        text += quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return text.toUtf8();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The workbook a spreadsheet program would save: the age as a number and
// the time as a formatted day number; inline strings with constant memory.
bool writeWorkbook(const QString& path, const Rows& rows, bool inlineStrings)
{
    lxw_workbook_options options = {};
    options.constant_memory = inlineStrings ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* book = workbook_new_opt(path.toUtf8().constData(), &options);
    if (!book)
        return false;
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_format* dateFormat = workbook_add_format(book);
    format_set_num_format(dateFormat, "yyyy-mm-dd hh:mm");
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows.at(r).size(); ++c) {
            const QString cell = rows.at(r).at(c);
            if (r > 0 && c == 2) {
                worksheet_write_number(sheet, lxw_row_t(r), lxw_col_t(c), cell.toDouble(), nullptr);
            } else if (r > 0 && c == rows.at(r).size() - 1 && rows.at(0).last() == QStringLiteral("时间")) {
                lxw_datetime time = {2024, 3, 5, 8, 30, 0};
                worksheet_write_datetime(sheet, lxw_row_t(r), lxw_col_t(c), &time, dateFormat);
            } else {
                worksheet_write_string(sheet, lxw_row_t(r), lxw_col_t(c), cell.toUtf8().constData(), nullptr);
            }
        }
    return workbook_close(book) == LXW_NO_ERROR;
}

// A database with the two programmes and every programme item in the form.
void prepare(OpenState& open)
{
    QVERIFY(open.run("UPDATE style SET status=1 WHERE zd='bm3'"));
    QVERIFY(open.addProgramme(30, "会计", 1200, 1));
    QVERIFY(open.addProgramme(70, "烹饪", 900, 2));
    ensureCategoryList(open.state);
    ensureProgrammeList(open.state);
    ensureFormItems(open.state);
}

// Opens the file in the import window as the operator does and starts it.
int importThroughWindow(OpenState& open, const QString& path, bool allowDuplicates, const QString& screenshot = QString())
{
    ImportWindow window(open.state);
    ImportFileDialogOverride dialog([path] { return path; });
    window.findChild<QPushButton*>(QStringLiteral("按钮_导入_选择文件"))->click();
    window.findChild<QCheckBox*>(QStringLiteral("选择框_导入_允许重复"))->setChecked(allowDuplicates);
    if (!screenshot.isEmpty()) {
        window.show();
        takeScreenshot(window, screenshot);
    }
    return window.startImport();
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every row of a file with its line, as the import reads it.
bool readRows(const QString& path, Rows& rows, QVector<int>* lines = nullptr, QString* error = nullptr)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    ImportTable table;
    const bool read = readImportRows(path, guessCsvEncoding(file).encoding, 1000, table, error);
    rows.clear();
    for (const ImportLine& line : table.rows) {
        rows << line.cells;
        if (lines)
            *lines << line.line;
    }
    return read;
}

Rows readBack(const QString& path, bool* withBom)
{
    *withBom = fileBytes(path).startsWith("\xEF\xBB\xBF");
    Rows rows;
    readRows(path, rows);
    return rows;
}

// A zip archive of stored entries, written byte by byte so that a test can
// make it lie: a wrong CRC, a size it does not have, the encryption flag.
struct ZipEntry {
    QByteArray name;
    QByteArray data;
    quint32 crcFlip = 0;
    quint32 claimedSize = 0;  // 0: the true size
    bool encrypted = false;
};

quint32 crc32Of(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFF;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

QByteArray zipOf(const QVector<ZipEntry>& entries)
{
    const auto le16 = [](QByteArray& out, quint32 value) { out.append(char(value & 0xFF)).append(char((value >> 8) & 0xFF)); };
    const auto le32 = [&](QByteArray& out, quint32 value) { le16(out, value & 0xFFFF), le16(out, value >> 16); };
    QByteArray out;
    QByteArray directory;
    for (const ZipEntry& entry : entries) {
        const quint32 offset = quint32(out.size());
        const auto header = [&](QByteArray& to, bool central) {
            le32(to, central ? 0x02014b50 : 0x04034b50);
            if (central)
                le16(to, 20);
            for (const quint32 field : {20u, entry.encrypted ? 1u : 0u, 0u, 0u, 0u})
                le16(to, field);
            le32(to, crc32Of(entry.data) ^ entry.crcFlip);
            le32(to, quint32(entry.data.size()));
            le32(to, entry.claimedSize ? entry.claimedSize : quint32(entry.data.size()));
            le16(to, quint32(entry.name.size()));
            le16(to, 0);
            if (central) {
                for (int k = 0; k < 3; ++k)
                    le16(to, 0);
                le32(to, 0);
                le32(to, offset);
            }
            to += entry.name;
        };
        header(out, false);
        out += entry.data;
        header(directory, true);
    }
    const quint32 start = quint32(out.size());
    out += directory;
    le32(out, 0x06054b50);
    for (const quint32 field : {0u, 0u, quint32(entries.size()), quint32(entries.size())})
        le16(out, field);
    le32(out, quint32(directory.size()));
    le32(out, start);
    le16(out, 0);
    return out;
}

// The parts of a workbook whose first sheet holds `rows` (<row> elements),
// with a table of shared strings when one is given.
QVector<ZipEntry> workbookParts(const QByteArray& rows, const QByteArray& sharedStrings = {}, bool date1904 = false)
{
    QVector<ZipEntry> parts{
        {"xl/workbook.xml", QByteArray("<workbook xmlns:r=\"r\">") + (date1904 ? "<workbookPr date1904=\"1\"/>" : "")
                                + "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/worksheets/sheet1.xml", "<worksheet><sheetData>" + rows + "</sheetData></worksheet>"}};
    if (!sharedStrings.isNull())
        parts.push_back({"xl/sharedStrings.xml", "<sst>" + sharedStrings + "</sst>"});
    return parts;
}

// Files made to break the reader, each with what its refusal must name.
struct HostileFile {
    const char* name;
    const char* suffix;
    QByteArray bytes;
    QString names;       // the part, cell or limit the message names
    bool smallLimits;    // breaks only the small limits of the test
};

QVector<HostileFile> hostileFiles()
{
    const QByteArray oneCell = "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>";
    QVector<ZipEntry> badCrc = workbookParts(oneCell, "<si><t>x</t></si>");
    badCrc[1].crcFlip = 1;
    QVector<ZipEntry> claimsMore = workbookParts(oneCell, "<si><t>x</t></si>");
    claimsMore[1].claimedSize = 0xFFFFFFF0;
    QVector<ZipEntry> encrypted = workbookParts(oneCell, "<si><t>x</t></si>");
    encrypted[2].encrypted = true;
    QByteArray manyCells;
    for (int r = 1; r <= 40; ++r) {
        manyCells += "<row>";
        for (int c = 0; c < 30; ++c)
            manyCells += "<c t=\"inlineStr\"><is><t>x</t></is></c>";
        manyCells += "</row>";
    }
    QByteArray csvWide;
    for (int c = 0; c < 65; ++c)
        csvWide += "x,";
    const QByteArray entity = "<!DOCTYPE sst [<!ENTITY a \"" + QByteArray(4000, 'a') + "\">]>";
    const QByteArray blanks(1100 * 1024, ' ');
    return {
        {"reference without letters", "xlsx", zipOf(workbookParts("<row><c r=\"1\"><v>x</v></c></row>")), "r=\"1\"", false},
        {"lower-case reference", "xlsx", zipOf(workbookParts("<row><c r=\"a1\"><v>x</v></c></row>")), "r=\"a1\"", false},
        {"absolute reference", "xlsx", zipOf(workbookParts("<row><c r=\"$A$1\"><v>x</v></c></row>")), "$A$1", false},
        {"seven letters", "xlsx", zipOf(workbookParts("<row><c r=\"FXSHRXW1\"><v>x</v></c></row>")), "FXSHRXW1", false},
        {"a value in column XFD", "xlsx", zipOf(workbookParts("<row><c r=\"XFD1\"><v>1</v></c></row>")), "64", false},
        {"a cell over 32767 characters", "xlsx",
         zipOf(workbookParts("<row><c r=\"A1\" t=\"inlineStr\"><is><t>" + QByteArray(32768, 'x') + "</t></is></c></row>")),
         "32767", false},
        {"entities declared", "xlsx", zipOf(workbookParts(oneCell, entity + "<si><t>" + QByteArray("&a;").repeated(1000) + "</t></si>")),
         "xl/sharedStrings.xml", false},
        {"no shared strings", "xlsx", zipOf(workbookParts(oneCell)), "sharedStrings", false},
        {"shared string index no number", "xlsx",
         zipOf(workbookParts("<row><c r=\"B1\" t=\"s\"><v>x</v></c></row>", "<si><t>x</t></si>")), "B1", false},
        {"shared strings broken", "xlsx", zipOf(workbookParts(oneCell, "<si><t>x</si>")), "xl/sharedStrings.xml", false},
        {"shared strings encrypted", "xlsx", zipOf(encrypted), "xl/sharedStrings.xml", false},
        {"sheet with a wrong CRC", "xlsx", zipOf(badCrc), "xl/worksheets/sheet1.xml", false},
        {"sheet claiming 4 GiB", "xlsx", zipOf(claimsMore), "xl/worksheets/sheet1.xml", false},
        {"65 filled columns", "csv", csvWide + "\n", "64", false},
        {"an unclosed quote", "csv", "a\n\"" + QByteArray(140 * 1024, 'x'), "32767", false},
        {"a part over its limit", "xlsx", zipOf(workbookParts(blanks)), "1 MB", true},
        {"parts together over the limit", "xlsx", zipOf(workbookParts(blanks.left(800 * 1024), blanks.left(800 * 1024))),
         "合计", true},
        {"more cells than the limit", "xlsx", zipOf(workbookParts(manyCells)), "1000", true},
    };
}

ImportLimits smallLimits()
{
    ImportLimits limits;
    limits.partBytes = limits.sharedStringsBytes = 1 << 20;
    limits.totalBytes = 1536 * 1024;
    limits.cells = 1000;
    return limits;
}

} // namespace

class ImportTest : public QObject {
    Q_OBJECT
private slots:
    // Rows with their lines as a spreadsheet numbers them, and the encoding
    // told from the bytes ("?N": not valid in it from row N on).
    void csvIsDecodedAndSplitIntoRecords_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QVector<int>>("lines");
        QTest::newRow("UTF-8 with BOM, line break and quote inside a field")
            << QByteArray("\xEF\xBB\xBF姓名,简介\r\n王小明,\"第一行\r\n第二行 \"\"好\"\"\"\r\n李四,x\r\n") << "UTF-8" << true
            << Rows{{"姓名", "简介"}, {"王小明", "第一行\r\n第二行 \"好\""}, {"李四", "x"}} << QVector<int>{1, 2, 3};
        QTest::newRow("GBK") << toGbk(QStringLiteral("姓名,性别\n张三,女\n")) << "GBK" << true
                             << Rows{{"姓名", "性别"}, {"张三", "女"}} << QVector<int>{1, 2};
        QTest::newRow("blank lines left out, and counted")
            << QByteArray("a,b\r\n\r\n,\n1,\n") << "UTF-8" << true << Rows{{"a", "b"}, {"1", ""}} << QVector<int>{1, 4};
        QTest::newRow("a NUL stays in its cell")
            << QByteArray("a\n\0b\n", 5) << "UTF-8" << true << Rows{{"a"}, {QString(QChar(0)) + "b"}} << QVector<int>{1, 2};
        QTest::newRow("UTF-8 but for one byte") << QByteArray("姓名\n张三\n李\xFF四\n") << "UTF-8?3" << true
                                                << Rows{{"姓名"}, {"张三"}, {"李\uFFFD四"}} << QVector<int>{1, 2, 3};
        QTest::newRow("an unclosed quote") << QByteArray("a,b\n\"1,2\n") << "UTF-8" << false << Rows{} << QVector<int>{};
    }

    void csvIsDecodedAndSplitIntoRecords()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        QFETCH(bool, ok);
        QFETCH(Rows, rows);
        QFETCH(QVector<int>, lines);
        TestProgramDir dir(false);
        const QString path = dir.file(QStringLiteral("t.csv"));
        QVERIFY(writeFile(path, bytes));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const CsvEncodingGuess guess = guessCsvEncoding(file);
        QCOMPARE(csvEncodingName(guess.encoding) + (guess.certain ? QString() : QStringLiteral("?%1").arg(guess.badLine)),
                 encoding);
        Rows read;
        QVector<int> readLines;
        QString error;
        QCOMPARE(readRows(path, read, &readLines, &error), ok);
        if (ok) {
            QCOMPARE(read, rows);
            QCOMPARE(readLines, lines);
        } else {
            QVERIFY(!error.isEmpty());
        }
    }

    // Each hostile file is refused with what it broke, before it costs more
    // than its limits allow.
    void hostileFilesAreRefusedByTheReader_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("names");
        for (const HostileFile& file : hostileFiles())
            QTest::newRow(file.name) << QString::fromLatin1(file.suffix) << file.bytes << file.names;
    }

    void hostileFilesAreRefusedByTheReader()
    {
        QFETCH(QString, suffix);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, names);
        TestProgramDir dir(false);
        const QString path = dir.file(QStringLiteral("hostile.") + suffix);
        QVERIFY(writeFile(path, bytes));
        ImportFileReader reader(path, CsvEncoding::Utf8, smallLimits());
        ImportLine row;
        int rows = 0;
        while (reader.next(row))
            ++rows;
        QVERIFY2(reader.error().contains(names), qPrintable(reader.error()));
        QVERIFY(rows < 50);
    }

    // The same files chosen in the import window: a message naming the file
    // and what it broke, and nothing stored.
    void hostileFilesAreRefusedByTheWindow_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("names");
        for (const HostileFile& file : hostileFiles())
            if (!file.smallLimits)
                QTest::newRow(file.name) << QString::fromLatin1(file.suffix) << file.bytes << file.names;
    }

    void hostileFilesAreRefusedByTheWindow()
    {
        QFETCH(QString, suffix);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, names);
        OpenState open;
        prepare(open);
        const QString path = open.dir.file(QStringLiteral("来历不明.") + suffix);
        QVERIFY(writeFile(path, bytes));
        MessageRecorder messages;
        QCOMPARE(importThroughWindow(open, path, false), -1);
        QVERIFY(!messages.texts().isEmpty());
        const QString message = messages.texts().first();
        QVERIFY2(message.contains(QDir::toNativeSeparators(path)) && message.contains(names), qPrintable(message));
        QCOMPARE(open.value("select count(*) from bmb"), QStringLiteral("0"));
    }

    void headersMatchCaptionsOrColumnNames()
    {
        const QVector<FormItem> items = {item("xm", ItemType::Text, "姓名"), item("xb", ItemType::Radio, "性别", "男||女")};
        QCOMPARE(matchImportColumns({" 姓名 ", "XB", "时间", "备注", "姓名", "付款状态"}, items),
                 (QStringList{"xm", "xb", "dtime", "", "", "fk"}));
    }

    void cellsConvertAsTheAddPageStoresThem_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("stored");  // what the target is stored as, or the row's problem
        QTest::newRow("gender") << "性别" << "女" << "2";
        QTest::newRow("gender unknown") << "性别" << "x" << "性别只能是男或女：x";
        QTest::newRow("age") << "年龄" << " 18 " << "18";
        QTest::newRow("age no number") << "年龄" << "十八" << "年龄不是数字：十八";
        QTest::newRow("programme") << "第一志愿" << "会计" << "3 / 30";
        QTest::newRow("several programmes") << "其他志愿" << "会计；烹饪" << "^3^^7^ / ^30^^70^";
        QTest::newRow("unknown programme") << "其他志愿" << "会计,天文" << "未知的报名项目：天文";
        QTest::newRow("disabled programme") << "第一志愿" << "停招" << "未知的报名项目：停招";
        QTest::newRow("several options") << "兴趣特长" << "音乐、体育" << "^音乐^^体育^";
        QTest::newRow("option not offered") << "兴趣特长" << "唱歌" << "兴趣特长没有这个选项：唱歌";
        QTest::newRow("category") << "报名分类" << "北校" << "5 / 9";
        QTest::newRow("unknown category") << "报名分类" << "西校" << "未知的报名分类：西校";
        QTest::newRow("review passed") << "审核状态" << "通过" << "1";
        QTest::newRow("review refused") << "审核状态" << "审核未通过" << "-1";
        QTest::newRow("review unknown") << "审核状态" << "也许" << "审核状态无法识别：也许";
        QTest::newRow("paid") << "付款状态" << "已缴费" << "1";
        QTest::newRow("time as day number") << "时间" << "45356.5" << "2024-03-05 12:00:00";
        QTest::newRow("whole day number") << "时间" << "45356" << "2024-03-05 00:00:00";
        QTest::newRow("summer time of 1988") << "时间" << "32259.25" << "1988-04-26 06:00:00";
        QTest::newRow("day 59, before the day that never was") << "时间" << "59" << "1900-02-28 00:00:00";
        QTest::newRow("day 60, 29 February 1900") << "时间" << "60" << "时间无法识别：60";
        QTest::newRow("day 61") << "时间" << "61.75" << "1900-03-01 18:00:00";
        QTest::newRow("1904: day number") << "时间" << "43894.5" << "2024-03-05 12:00:00";
        QTest::newRow("time as text") << "时间" << "2013年5月6日14时3分9秒" << "2013-05-06 14:03:09";
        QTest::newRow("time unknown") << "时间" << "明天" << "时间无法识别：明天";
        QTest::newRow("time missing") << "时间" << "" << "2024-06-01 03:04:05";
        for (const char* impossible : {"24年3月5日", "0001-01-01", "0100-01-01", "2026-03-05"})
            QTest::newRow(impossible) << "时间" << impossible << "时间不可能";
        for (const char* impossible : {"-45356", "1e19", "1.7e308", "151"})
            QTest::newRow(impossible) << "年龄" << impossible << "年龄不可能";
        QTest::newRow("NUL") << "联系电话" << QString(QStringLiteral("13") + QChar(0)) << "第2列含有空字符（NUL）";
    }

    void cellsConvertAsTheAddPageStoresThem()
    {
        QFETCH(QString, column);
        QFETCH(QString, cell);
        QFETCH(QString, stored);
        ImportContext context;
        context.items = {item("xm", ItemType::Text, "姓名"), item("xb", ItemType::Radio, "性别", "男||女"),
                         item("nl", ItemType::Text, "年龄"), item("lx1", ItemType::Text, "联系电话"),
                         item("bm1", ItemType::List, "第一志愿"),
                         item("bm3", ItemType::Check, "其他志愿"),
                         item("kz3", ItemType::Check, "兴趣特长", "体育||音乐||美术"), item("dd", ItemType::List, "报名分类")};
        context.categories = {{3, 0, QStringLiteral("南校"), 1}, {5, 9, QStringLiteral("北校"), 1}};
        context.programmes = {{3, 30, 0, QStringLiteral("会计"), {}, 0, 0, 1}, {7, 70, 0, QStringLiteral("烹饪"), {}, 0, 0, 1},
                              {8, 80, 0, QStringLiteral("停招"), {}, 0, 0, 0}};
        context.now = QDateTime(QDate(2024, 6, 1), QTime(3, 4, 5));
        context.date1904 = QString::fromLatin1(QTest::currentDataTag()).startsWith(QLatin1String("1904"));
        const QStringList headers{"姓名", column};
        const ImportRow row = convertImportRow(context, matchImportColumns(headers, context.items), {"甲", cell}, 2);
        if (!row.problem.isEmpty()) {
            QVERIFY2(row.problem.startsWith(stored), qPrintable(row.problem));
            return;
        }
        const QVector<ImportTarget> targets = importTargets(context.items);
        const auto target = std::find_if(targets.begin(), targets.end(),
                                         [&](const ImportTarget& t) { return t.caption == column; });
        QCOMPARE(storedValuesOf(context.items, row.registration).at(int(target - targets.begin())), stored);
    }

    // Each kind of file imports to the row the add page stores for the same
    // applicant, column by column (the time apart).
    void aFileImportsAsTheAddPageStores_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("GBK CSV") << "gbk";
        QTest::newRow("UTF-8 CSV with BOM") << "bom";
        QTest::newRow("xlsx, shared strings") << "xlsx";
        QTest::newRow("xlsx, inline strings") << "inline";
    }

    void aFileImportsAsTheAddPageStores()
    {
        QFETCH(QString, kind);
        OpenState open;
        prepare(open);
        {
            MessageRecorder messages;
            AddPage page(open.state, QSize(800, 600));
            page.prepareForNewRegistration();
            const FormBuilder& form = page.form();
            const char* textColumns[] = {"xm", "nl", "mz", "zj", "lx1", "lx2", "jj", "kz1", "bm1", "bm2"};
            const int textCells[] = {0, 2, 3, 4, 5, 6, 7, 8, 10, 11};
            for (int k = 0; k < 10; ++k)
                enterOnAddPage(form, QString::fromLatin1(textColumns[k]), applicant.at(textCells[k]));
            for (const auto& [zd, option] : {std::pair{"xb", "男"}, {"kz3", "音乐"}, {"kz3", "计算机"}, {"bm3", "会计"}, {"bm3", "烹饪"}})
                enterOnAddPage(form, QString::fromLatin1(zd), QString::fromUtf8(option));
            page.confirmButton()->click();
            QCOMPARE(messages.texts(), QStringList());
        }
        QCOMPARE(open.value("select count(*) from bmb"), QStringLiteral("1"));

        const bool workbook = kind == QLatin1String("xlsx") || kind == QLatin1String("inline");
        const QString path = open.dir.file(workbook ? QStringLiteral("报名表.xlsx") : QStringLiteral("报名表.csv"));
        Rows rows{header, applicant};
        if (workbook) {
            rows[0] << QStringLiteral("时间");
            rows[1] << QString();
            QVERIFY(writeWorkbook(path, rows, kind == QLatin1String("inline")));
        } else {
            const QByteArray utf8 = csvText(rows);
            QVERIFY(writeFile(path, kind == QLatin1String("gbk") ? toGbk(QString::fromUtf8(utf8))
                                                                : QByteArray("\xEF\xBB\xBF") + utf8));
        }
        MessageRecorder messages;
        QCOMPARE(importThroughWindow(open, path, true), 1);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("导入 1 条，跳过 0 条")});
        QVERIFY(!QFile::exists(skippedFilePath(path)));

        QVERIFY(open.state.db.openShared(QStringLiteral("select * from bmb order by id")));
        RecordSet& stored = open.state.db.shared();
        const auto& tables = schema::tables();
        const auto bmb = std::find_if(tables.begin(), tables.end(),
                                      [](const schema::Table& table) { return QLatin1String(table.name) == QLatin1String("bmb"); });
        QHash<QString, QString> entered;
        for (const schema::Column& column : bmb->columns)
            entered.insert(QString::fromLatin1(column.name), stored.readText(column.name));
        stored.moveNext();
        QVERIFY(!stored.atEnd());
        for (const schema::Column& column : bmb->columns)
            // The time and the key are each save's own.
            if (QLatin1String(column.name) != QLatin1String("dtime") && QLatin1String(column.name) != QLatin1String("savekey"))
                QVERIFY2(stored.readText(column.name) == entered.value(QString::fromLatin1(column.name)),
                         qPrintable(QStringLiteral("%1: %2 / %3").arg(column.name, stored.readText(column.name),
                                                                      entered.value(QString::fromLatin1(column.name)))));
        QCOMPARE(entered.value(QStringLiteral("jj")), profile);
        QCOMPARE(entered.value(QStringLiteral("bm3")), QStringLiteral("^1^^2^"));
        if (workbook)
            QCOMPARE(stored.readText("dtime"), QStringLiteral("2024-03-05 08:30:00"));
        else
            QCOMPARE(stored.readText("dtime").left(10), QDate::currentDate().toString(Qt::ISODate));
    }

    // An unknown programme, an empty required item, a duplicate of a stored
    // registration and a row repeated in the file stay out; the others are
    // stored and the four are written beside the file with their reasons.
    void rowsWithProblemsAreWrittenOutAndTheRestStored()
    {
        OpenState open;
        prepare(open);
        QVERIFY(open.run("INSERT INTO bmb  (status,xm,lx1,dtime,sh,fk) values (1,'王小明','13800000000','2013年5月6日',1,1)"));
        const QString formula = QStringLiteral("=cmd|' /c calc'!A1");
        const Rows rows = {{"姓名", "性别", "联系电话", "第一志愿"},
                           {},
                           {"张三", "男", "111", "会计"},
                           {"李四", "女", "222", "天文"},
                           {"", "男", "333", "会计"},
                           {"王小明", "男", "13800000000", "会计"},
                           {"张三", "男", "111", "烹饪"},
                           {"赵六", "女", "444", "烹饪"},
                           {formula, "男", "555", "天文"},
                           {"孙七", "男", QStringLiteral("6") + QChar(0), "会计"}};
        const QString path = open.dir.file(QStringLiteral("名单.csv"));
        QVERIFY(writeFile(path, csvText(rows)));
        // A link planted where the skipped rows would go is left alone.
        const QString planted = open.dir.file(QStringLiteral("别人的文件"));
        QVERIFY(writeFile(planted, "keep"));
        QVERIFY(QFile::link(planted, skippedFilePath(path)));
        MessageRecorder messages;
        QCOMPARE(importThroughWindow(open, path, false, QStringLiteral("import_preview")), 2);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("导入 2 条，跳过 6 条")});
        QCOMPARE(open.value("select count(*) from bmb"), QStringLiteral("3"));
        QCOMPARE(open.value("select bm1server from bmb where xm='赵六'"), QStringLiteral("70"));
        QCOMPARE(fileBytes(planted), QByteArray("keep"));

        bool withBom = false;
        const Rows skipped = readBack(skippedFilePath(path, 2), &withBom);
        QVERIFY(withBom);
        QCOMPARE(skipped, (Rows{{"姓名", "性别", "联系电话", "第一志愿", "未导入原因"},
                                {"李四", "女", "222", "天文", "未知的报名项目：天文"},
                                {"", "男", "333", "会计", "姓名没有填写"},
                                {"王小明", "男", "13800000000", "会计", "与第1号报名重复"},
                                {"张三", "男", "111", "烹饪", "与第3行重复"},
                                {QLatin1Char('\'') + formula, "男", "555", "天文", "未知的报名项目：天文"},
                                {"孙七", "男", QStringLiteral("6") + QChar(0), "会计", "第3列含有空字符（NUL）"}}));
    }

    // 取消 clicked as soon as the bar moves: what was stored is taken back
    // and no file of skipped rows stays.
    void cancellingStoresNothing()
    {
        OpenState open;
        prepare(open);
        Rows rows{{"姓名", "联系电话", "第一志愿"}};
        for (int i = 0; i < 5 * importBatchRows; ++i)
            rows.push_back({QStringLiteral("学生%1").arg(i), QString::number(100000 + i), i % 7 ? "会计" : "天文"});
        const QString path = open.dir.file(QStringLiteral("大名单.csv"));
        QVERIFY(writeFile(path, csvText(rows)));
        ImportWindow window(open.state);
        ImportFileDialogOverride dialog([path] { return path; });
        window.findChild<QPushButton*>(QStringLiteral("按钮_导入_选择文件"))->click();
        auto* bar = window.findChild<QProgressBar*>(QStringLiteral("进度条_导入"));
        auto* cancel = window.findChild<QPushButton*>(QStringLiteral("按钮_导入_取消"));
        int barWhenCancelled = 0;
        connect(bar, &QProgressBar::valueChanged, &window, [&](int value) {
            if (value > 0 && barWhenCancelled == 0) {
                barWhenCancelled = value;
                cancel->click();
            }
        });
        MessageRecorder messages;
        QCOMPARE(window.startImport(), -1);
        QVERIFY(barWhenCancelled > 0 && barWhenCancelled < bar->maximum());
        QCOMPARE(open.value("select count(*) from bmb"), QStringLiteral("0"));
        QVERIFY(!QFile::exists(skippedFilePath(path)));
        QCOMPARE(open.reporter.results.last(), QStringLiteral("导入已取消，没有导入任何报名"));
    }

    // A workbook that counts its days from 1904 stores the day it shows.
    void aWorkbookCountingFrom1904()
    {
        OpenState open;
        prepare(open);
        const QString path = open.dir.file(QStringLiteral("mac.xlsx"));
        const auto row = [](const QStringList& texts, const QByteArray& last) {
            QByteArray xml = "<row>";
            for (const QString& text : texts)
                xml += "<c t=\"inlineStr\"><is><t>" + text.toUtf8() + "</t></is></c>";
            return xml + last + "</row>";
        };
        const QByteArray rows = row({"姓名", "性别", "联系电话", "第一志愿", "时间"}, {})
                                + row({"甲", "男", "1", "会计"}, "<c><v>43894.5</v></c>");
        QVERIFY(writeFile(path, zipOf(workbookParts(rows, {}, true))));
        MessageRecorder messages;
        QCOMPARE(importThroughWindow(open, path, false), 1);
        QCOMPARE(open.value("select dtime from bmb"), QStringLiteral("2024-03-05 12:00:00"));
    }

    // The third row cannot be stored: neither of the two before it is.
    void aFailureInTheMiddleStoresNothing()
    {
        OpenState open;
        prepare(open);
        QVERIFY(open.run("CREATE UNIQUE INDEX once_per_address ON bmb (lx2)"));
        const Rows rows = {{"姓名", "性别", "联系电话", "联系地址", "第一志愿"},
                           {"甲", "男", "1", "A", "会计"},
                           {"乙", "男", "2", "B", "会计"},
                           {"丙", "男", "3", "A", "会计"}};
        const QString path = open.dir.file(QStringLiteral("名单.csv"));
        QVERIFY(writeFile(path, csvText(rows)));
        MessageRecorder messages;
        QCOMPARE(importThroughWindow(open, path, false), -1);
        QCOMPARE(open.value("select count(*) from bmb"), QStringLiteral("0"));
        QCOMPARE(open.reporter.results.last(), QStringLiteral("导入失败，没有导入任何报名"));
        QCOMPARE(open.reporter.messages.size(), 1);
        QVERIFY(!QFile::exists(skippedFilePath(path)));
    }
};

BRENVO_TEST(ImportTest)
#include "test_import.moc"
