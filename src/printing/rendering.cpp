#include "printing/rendering.h"

#include "core/lists.h"
#include "photos/photostore.h"
#include "platform/files.h"
#include "platform/messagestyle.h"
#include "platform/text.h"
#include "printing/amount.h"
#include "printing/htmlfile.h"
#include "printing/previewwindow.h"
#include "printing/statements.h"
#include "printing/templatecodec.h"

#include <QApplication>
#include <QComboBox>

const QString pageBreakBlock = QStringLiteral("<div style=\"PAGE-BREAK-AFTER: always\">&nbsp;</div>");

namespace {

const QString blank = QStringLiteral("&nbsp;");

// A value as HTML text: markup characters and both quotes are written as
// entities, so a value shows as typed and cannot end an attribute.
QString htmlText(const QString& value)
{
    QString escaped = value.toHtmlEscaped();
    escaped.replace(QLatin1Char('\''), QStringLiteral("&#39;"));
    return escaped;
}

// What each placeholder name becomes, as HTML. Most names are matched with
// exact case; a few with any case, keyed here in lower case.
struct PlaceholderValues {
    QHash<QString, QString> exactCase;
    QHash<QString, QString> anyCase;

    // An empty value prints as a blank cell.
    void textOrBlank(const QString& name, const QString& value)
    {
        exactCase.insert(name, value.isEmpty() ? blank : htmlText(value));
    }
    void textAnyCase(const QString& name, const QString& value) { anyCase.insert(name, htmlText(value)); }
    void markupAnyCase(const QString& name, const QString& markup) { anyCase.insert(name, markup); }

    const QString* find(const QString& name) const
    {
        if (const auto exact = exactCase.constFind(name); exact != exactCase.constEnd())
            return &*exact;
        if (const auto any = anyCase.constFind(name.toLower()); any != anyCase.constEnd())
            return &*any;
        return nullptr;
    }
};

const QString placeholderStart = QStringLiteral("[!--");
const QString placeholderEnd = QStringLiteral("--]");

// Every placeholder of the template replaced by its value in one pass over
// the template, so text a value brings in is never read as a placeholder.
QString fillPlaceholders(const QString& templateHtml, const PlaceholderValues& values)
{
    QString html;
    html.reserve(templateHtml.size());
    qsizetype copied = 0;
    qsizetype start = templateHtml.indexOf(placeholderStart);
    while (start >= 0) {
        const qsizetype nameStart = start + placeholderStart.size();
        const qsizetype end = templateHtml.indexOf(placeholderEnd, nameStart);
        if (end < 0)
            break;
        if (const QString* value = values.find(templateHtml.mid(nameStart, end - nameStart))) {
            html += QStringView(templateHtml).mid(copied, start - copied);
            html += *value;
            copied = end + placeholderEnd.size();
            start = templateHtml.indexOf(placeholderStart, copied);
        } else {
            // Not a placeholder; one may still begin inside it, as in "[!--[!--xm--]".
            start = templateHtml.indexOf(placeholderStart, start + 1);
        }
    }
    html += QStringView(templateHtml).mid(copied);
    return html;
}

int integerOf(const QString& text)
{
    return int(textToNumber(trimBlanks(text)));
}

// Fees are whole yuan; an empty fee counts 0.
qint64 feeOf(const AppState& lists, int programmeId)
{
    return qint64(textToNumber(programmeFee(lists, programmeId)));
}

QString sexText(int code)
{
    switch (code) {
    case 1:
        return QStringLiteral("男");
    case 2:
        return QStringLiteral("女");
    default:
        return blank;
    }
}

// A multiple-choice value ^a^^b^ reads a,b; any other value stays as it is.
QString choicesText(const QString& value)
{
    if (value.size() >= 2 && value.startsWith(QLatin1Char('^')) && value.endsWith(QLatin1Char('^')))
        return value.mid(1, value.size() - 2).replace(QStringLiteral("^^"), QStringLiteral(","));
    return value;
}

// The third programme choice: nothing, one id, or several ids as ^3^^7^.
// Gives its three placeholders and its fee for the total.
qint64 thirdProgrammeValues(PlaceholderValues& values, const QString& value, const AppState& lists)
{
    const QString names = QStringLiteral("bm3");
    const QString fee = QStringLiteral("fybm3");
    const QString feeInCapitals = QStringLiteral("fybm3dx");
    if (value.isEmpty()) {
        // Written without the semicolon, as the printed forms have always shown it.
        for (const QString& name : {names, fee, feeInCapitals})
            values.markupAnyCase(name, QStringLiteral("&nbsp"));
        return 0;
    }
    if (value.startsWith(QLatin1Char('^'))) {
        QStringList programmeNames;
        qint64 sum = 0;
        for (const QString& piece : value.mid(1, value.size() - 2).split(QStringLiteral("^^"))) {
            const int id = integerOf(piece);
            programmeNames << programmeName(lists, id);
            sum += feeOf(lists, id);
        }
        values.textAnyCase(names, programmeNames.join(QLatin1Char(',')));
        values.textAnyCase(fee, QString::number(sum));
        values.textAnyCase(feeInCapitals, amountInCapitals(double(sum)));
        return sum;
    }
    const int id = integerOf(value);
    values.textAnyCase(names, programmeName(lists, id));
    values.textAnyCase(fee, programmeFee(lists, id));
    values.textAnyCase(feeInCapitals, amountInCapitals(double(feeOf(lists, id))));
    return feeOf(lists, id);
}

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

int choiceOf(const QComboBox& selector)
{
    return selector.currentIndex() < 0 ? 0 : selector.currentData().toInt();
}

} // namespace

QString fillTemplate(const QString& templateHtml, const RegistrationValues& registration, const AppState& lists,
                     const QString& photoFullPath)
{
    PlaceholderValues values;
    auto value = [&](const char* column) { return registration.value(QString::fromLatin1(column)); };
    auto columnText = [&](const char* column) { values.textOrBlank(QString::fromLatin1(column), value(column)); };

    columnText("xm");
    values.markupAnyCase(QStringLiteral("xb"), sexText(integerOf(value("xb"))));
    columnText("nl");
    columnText("mz");
    columnText("zj");
    values.textOrBlank(QStringLiteral("dd"), categoryName(lists, integerOf(value("dd"))));

    const int first = integerOf(value("bm1"));
    const int second = integerOf(value("bm2"));
    values.textOrBlank(QStringLiteral("bm1"), programmeName(lists, first));
    values.textOrBlank(QStringLiteral("bm2"), programmeName(lists, second));
    values.textOrBlank(QStringLiteral("fybm1"), programmeFee(lists, first));
    values.textOrBlank(QStringLiteral("fybm2"), programmeFee(lists, second));
    values.textOrBlank(QStringLiteral("fybm1dx"), amountInCapitals(double(feeOf(lists, first))));
    values.textOrBlank(QStringLiteral("fybm2dx"), amountInCapitals(double(feeOf(lists, second))));

    qint64 total = feeOf(lists, first) + feeOf(lists, second);
    total += thirdProgrammeValues(values, value("bm3"), lists);
    values.textOrBlank(QStringLiteral("fybm123"), QString::number(total));
    values.textOrBlank(QStringLiteral("fybm123dx"), amountInCapitals(double(total)));

    columnText("jj");
    columnText("lx1");
    columnText("lx2");
    columnText("lx3");
    columnText("id");
    for (int n = 1; n <= 10; ++n) {
        const QString column = QStringLiteral("kz") + QString::number(n);
        values.textOrBlank(column, choicesText(registration.value(column)));
    }
    values.exactCase.insert(QStringLiteral("tp"), htmlText(photoFullPath));
    return fillPlaceholders(templateHtml, values);
}

QString photoPathFor(AppState& state, const QString& storedPhotoFile)
{
    return storedPhotoFile.isEmpty() ? photoPath(state.programDir, QStringLiteral("noimg.jpg"))
                                     : localPhotoFile(state, storedPhotoFile);
}

QString renderRegistration(AppState& state, int templateId, int registrationId)
{
    if (!state.db.openShared(templateByIdStatement(templateId))
        || state.db.shared().atEnd())
        return {};
    const QString templateHtml = decodeTemplateText(state.db.shared().readText("xx"));

    if (!openReported(state, registrationToPrintStatement(registrationId)))
        return {};
    RecordSet& row = state.db.shared();
    if (row.atEnd())
        return {};
    RegistrationValues registration;
    for (const QString& column : row.columnNames())
        registration.insert(column.toLower(), row.readText(column));

    // The photo lookup reuses the shared record set, so it comes after every column is read.
    const QString photo = photoPathFor(state, photoFileOf(state, registrationId));
    return fillTemplate(templateHtml, registration, state, photo);
}

QVector<int> templatesForChoice(int choice, const QVector<int>& enabledTemplates)
{
    if (choice > 0)
        return {choice};
    if (choice == -1)
        return enabledTemplates;
    if (choice == -2 || choice == -3)
        return enabledTemplates.mid(0, -choice);
    return {};
}

QVector<int> enabledTemplatesOf(const QComboBox& selector)
{
    QVector<int> ids;
    for (int i = 0; i < selector.count(); ++i)
        if (const int id = selector.itemData(i).toInt(); id > 0)
            ids.push_back(id);
    return ids;
}

QString renderDocument(AppState& state, const QVector<int>& templateIds, const QVector<int>& registrationIds)
{
    QString html;
    bool firstPage = true;
    for (const int registrationId : registrationIds)
        for (const int templateId : templateIds) {
            if (!firstPage)
                html += pageBreakBlock;
            firstPage = false;
            html += renderRegistration(state, templateId, registrationId);
        }
    return html;
}

QString showPrintDocument(AppState& state, const QString& html)
{
    const QString path = uniqueTempFileName(QStringLiteral(".htm"));
    writeHtmlFile(path, html);
    openPrintPreview(state).showFile(path);
    return path;
}

void printAfterAdd(AppState& state, const QComboBox& addChoice, int registrationId)
{
    const int choice = choiceOf(addChoice);
    if (choice == 0 || registrationId == 0)
        return;
    const QVector<int> templates = templatesForChoice(choice, enabledTemplatesOf(addChoice));
    showPrintDocument(state, renderDocument(state, templates, {registrationId}));
}

void printCheckedRecords(AppState& state, const QComboBox& browseChoice, const QVector<int>& tickedIds)
{
    if (tickedIds.isEmpty()) {
        state.showMessage(QStringLiteral("请勾选待打印项！"), MessageStyle::SystemModal);
        return;
    }
    BusyCursor busy;
    // "不需打印" prints nothing, so no empty document is shown.
    const int choice = choiceOf(browseChoice);
    if (choice == 0)
        return;
    const QVector<int> templates = templatesForChoice(choice, enabledTemplatesOf(browseChoice));
    showPrintDocument(state, renderDocument(state, templates, tickedIds));
}
