#include "printing/printchoices.h"

#include "platform/inifile.h"
#include "printing/statements.h"

#include <QComboBox>

void fillPrintChoices(AppState& state, QComboBox* addChoice, QComboBox* browseChoice)
{
    QComboBox* both[] = {browseChoice, addChoice};
    for (QComboBox* selector : both) {
        if (!selector)
            continue;
        selector->clear();
        selector->addItem(QStringLiteral("不需打印"), 0);
        selector->addItem(QStringLiteral("打印本列全部"), -1);
    }

    int enabledTemplates = 0;
    if (state.db.openShared(enabledTemplatesStatement())) {
        RecordSet& rows = state.db.shared();
        for (; !rows.atEnd(); rows.moveNext(), ++enabledTemplates) {
            const QString caption = QLatin1Char('-') + rows.readText("nam");
            const int id = rows.readInteger("id");
            for (QComboBox* selector : both)
                if (selector)
                    selector->addItem(caption, id);
        }
    }

    // The shortcuts are offered only where they choose fewer than all templates.
    for (QComboBox* selector : both) {
        if (!selector)
            continue;
        if (enabledTemplates >= 3)
            selector->insertItem(1, QStringLiteral("打印前2项"), -2);
        if (enabledTemplates >= 4)
            selector->insertItem(2, QStringLiteral("打印前3项"), -3);
    }

    if (browseChoice)
        browseChoice->setCurrentIndex(0);
    if (addChoice) {
        const int position = readIniValue(state.iniPath, QStringLiteral("add_dy"), QStringLiteral("0")).trimmed().toInt();
        addChoice->setCurrentIndex(position >= 0 && position < addChoice->count() ? position : -1);
    }
}
