#include "app/settings.h"

#include "app/mainwindow.h"
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

    if (auto* compact = window.findChild<QCheckBox*>(QStringLiteral("选择框_表单紧凑排列")))
        compact->setChecked(readIniValue(state.iniPath, QStringLiteral("formauto"), QStringLiteral("0")) == QLatin1String("1"));

    const QString pageSizeText = readIniValue(state.iniPath, QStringLiteral("prepage"), QStringLiteral("50"));
    if (auto* pageSizeBox = window.findChild<QLineEdit*>(QStringLiteral("编辑框_信息浏览_每页数量")))
        pageSizeBox->setText(pageSizeText);
    state.pageSize = int(textToNumber(pageSizeText));

    selectPosition(window.findChild<QComboBox*>(QStringLiteral("组合框_添加_审核状态")),
                   readPosition(state.iniPath, QStringLiteral("add_sh")));
    selectPosition(window.findChild<QComboBox*>(QStringLiteral("组合框_添加_财务状态")),
                   readPosition(state.iniPath, QStringLiteral("add_fk")));

    window.setSyncEntryVisible(readIniValue(state.iniPath, QStringLiteral("sync_web"), QStringLiteral("0")) == QLatin1String("1"));

    fillPrintChoices(state, window);
}

void saveIniSettings(MainWindow& window)
{
    const QString& iniPath = window.appState().iniPath;
    if (iniPath.isEmpty())
        return;
    if (auto* compact = window.findChild<QCheckBox*>(QStringLiteral("选择框_表单紧凑排列")))
        writeIniValue(iniPath, QStringLiteral("formauto"), compact->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    if (auto* pageSizeBox = window.findChild<QLineEdit*>(QStringLiteral("编辑框_信息浏览_每页数量")))
        writeIniValue(iniPath, QStringLiteral("prepage"), pageSizeBox->text());
    writePosition(iniPath, QStringLiteral("add_dy"), window.findChild<QComboBox*>(QStringLiteral("组合框_添加_打印")));
    writePosition(iniPath, QStringLiteral("add_sh"), window.findChild<QComboBox*>(QStringLiteral("组合框_添加_审核状态")));
    writePosition(iniPath, QStringLiteral("add_fk"), window.findChild<QComboBox*>(QStringLiteral("组合框_添加_财务状态")));
}
