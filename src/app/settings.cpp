#include "app/settings.h"

#include "app/mainwindow.h"
#include "form/addpage.h"
#include "records/browsepage.h"
#include "records/browsequery.h"
#include "platform/inifile.h"
#include "platform/text.h"
#include "printing/printchoices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {

int readPosition(const QString& iniPath, const QString& key)
{
    return readIniValue(iniPath, key, QStringLiteral("0")).trimmed().toInt();
}

void writePosition(const QString& iniPath, const QString& key, const QComboBox* selector)
{
    if (selector)
        writeIniValue(iniPath, key, QString::number(selector->currentIndex()));
}

void selectPosition(QComboBox* selector, int position)
{
    if (selector)
        selector->setCurrentIndex(position >= 0 && position < selector->count() ? position : -1);
}

} // namespace

void loadIniSettings(MainWindow& window)
{
    AppState& state = window.appState();
    state.iniPath = state.programFile(QStringLiteral("duzarizered.ini"));

    AddPage& addPage = *window.page<AddPage>();
    BrowsePage& browsePage = *window.page<BrowsePage>();
    addPage.compactSwitch()->setChecked(readIniValue(state.iniPath, QStringLiteral("formauto"), QStringLiteral("0")) == QLatin1String("1"));

    const QString pageSizeText = readIniValue(state.iniPath, QStringLiteral("prepage"), QStringLiteral("50"));
    browsePage.pageSizeEditor()->setText(pageSizeText);
    state.pageSize = pageSizeFromText(pageSizeText);

    selectPosition(addPage.reviewSelector(), readPosition(state.iniPath, QStringLiteral("add_sh")));
    selectPosition(addPage.paymentSelector(), readPosition(state.iniPath, QStringLiteral("add_fk")));

    window.setSyncEntryVisible(readIniValue(state.iniPath, QStringLiteral("sync_web"), QStringLiteral("0")) == QLatin1String("1"));

    fillPrintChoices(state, addPage.printSelector(), browsePage.printSelector());
}

void saveIniSettings(MainWindow& window)
{
    const QString& iniPath = window.appState().iniPath;
    if (iniPath.isEmpty())
        return;
    const AddPage& addPage = *window.page<AddPage>();
    writeIniValue(iniPath, QStringLiteral("formauto"), addPage.compactSwitch()->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    writeIniValue(iniPath, QStringLiteral("prepage"), window.page<BrowsePage>()->pageSizeEditor()->text());
    writePosition(iniPath, QStringLiteral("add_dy"), addPage.printSelector());
    writePosition(iniPath, QStringLiteral("add_sh"), addPage.reviewSelector());
    writePosition(iniPath, QStringLiteral("add_fk"), addPage.paymentSelector());
}
