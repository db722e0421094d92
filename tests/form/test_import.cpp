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

Rows readBack(const QString& path, bool* withBom)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    *withBom = bytes.startsWith("\xEF\xBB\xBF");
    ImportTable table;
    parseCsv(decodeCsvBytes(bytes), table, nullptr);
    return table.rows;
}

} // namespace

class ImportTest : public QObject {
    Q_OBJECT
private slots:
    void csvIsDecodedAndSplitIntoRecords_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<Rows>("rows");
        QTest::newRow("UTF-8 with BOM, line break and quote inside a field")
            << QByteArray("\xEF\xBB\xBF姓名,简介\r\n王小明,\"第一行\r\n第二行 \"\"好\"\"\"\r\n") << true
            << Rows{{"姓名", "简介"}, {"王小明", "第一行\r\n第二行 \"好\""}};
        QTest::newRow("GBK") << toGbk(QStringLiteral("姓名,性别\n张三,女\n")) << true
                             << Rows{{"姓名", "性别"}, {"张三", "女"}};
        QTest::newRow("UTF-8 without BOM, blank lines left out")
            << QByteArray("a,b\n\n,\n1,\n") << true << Rows{{"a", "b"}, {"1", ""}};
        QTest::newRow("an unclosed quote") << QByteArray("a,b\n\"1,2\n") << false << Rows{};
    }

    void csvIsDecodedAndSplitIntoRecords()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, ok);
        QFETCH(Rows, rows);
        ImportTable table;
        QString error;
        QCOMPARE(parseCsv(decodeCsvBytes(bytes), table, &error), ok);
        if (ok)
            QCOMPARE(table.rows, rows);
        else
            QVERIFY(!error.isEmpty());
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
        QTest::newRow("time as text") << "时间" << "2013年5月6日14时3分9秒" << "2013-05-06 14:03:09";
        QTest::newRow("time unknown") << "时间" << "明天" << "时间无法识别：明天";
        QTest::newRow("time missing") << "时间" << "" << "2020-01-02 03:04:05";
    }

    void cellsConvertAsTheAddPageStoresThem()
    {
        QFETCH(QString, column);
        QFETCH(QString, cell);
        QFETCH(QString, stored);
        ImportContext context;
        context.items = {item("xm", ItemType::Text, "姓名"), item("xb", ItemType::Radio, "性别", "男||女"),
                         item("nl", ItemType::Text, "年龄"), item("bm1", ItemType::List, "第一志愿"),
                         item("bm3", ItemType::Check, "其他志愿"),
                         item("kz3", ItemType::Check, "兴趣特长", "体育||音乐||美术"), item("dd", ItemType::List, "报名分类")};
        context.categories = {{3, 0, QStringLiteral("南校"), 1}, {5, 9, QStringLiteral("北校"), 1}};
        context.programmes = {{3, 30, 0, QStringLiteral("会计"), {}, 0, 0, 1}, {7, 70, 0, QStringLiteral("烹饪"), {}, 0, 0, 1},
                              {8, 80, 0, QStringLiteral("停招"), {}, 0, 0, 0}};
        context.now = QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5));
        const QStringList headers{"姓名", column};
        const ImportRow row = convertImportRow(context, matchImportColumns(headers, context.items), {"甲", cell}, 2);
        if (!row.problem.isEmpty()) {
            QCOMPARE(row.problem, stored);
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
        const Rows rows = {{"姓名", "性别", "联系电话", "第一志愿"},
                           {"张三", "男", "111", "会计"},
                           {"李四", "女", "222", "天文"},
                           {"", "男", "333", "会计"},
                           {"王小明", "男", "13800000000", "会计"},
                           {"张三", "男", "111", "烹饪"},
                           {"赵六", "女", "444", "烹饪"}};
        const QString path = open.dir.file(QStringLiteral("名单.csv"));
        QVERIFY(writeFile(path, csvText(rows)));
        MessageRecorder messages;
        QCOMPARE(importThroughWindow(open, path, false, QStringLiteral("import_preview")), 2);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("导入 2 条，跳过 4 条")});
        QCOMPARE(open.value("select count(*) from bmb"), QStringLiteral("3"));
        QCOMPARE(open.value("select bm1server from bmb where xm='赵六'"), QStringLiteral("70"));

        bool withBom = false;
        const Rows skipped = readBack(open.dir.file(QStringLiteral("名单_未导入.csv")), &withBom);
        QVERIFY(withBom);
        QCOMPARE(skipped, (Rows{{"姓名", "性别", "联系电话", "第一志愿", "未导入原因"},
                                {"李四", "女", "222", "天文", "未知的报名项目：天文"},
                                {"", "男", "333", "会计", "姓名没有填写"},
                                {"王小明", "男", "13800000000", "会计", "与第1号报名重复"},
                                {"张三", "男", "111", "烹饪", "与第2行重复"}}));
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
