// Start-up and closing of the main window.
#include "app/lifecycle.h"
#include "app/loginwindow.h"
#include "app/mainwindow.h"
#include "app/settings.h"
#include "app/unitinfo.h"
#include "core/lists.h"
#include "platform/messagebox.h"
#include "records/editwindow.h"

#include <QFileInfo>
#include <QLabel>
#include <QScreen>

bool MainWindow::onMainWindowCreated()
{
    if (!QFileInfo::exists(state.programFile(QStringLiteral("zhao.dat")))) {
        messageBox(QStringLiteral("数据库不存在"), MessageStyle::SystemModal);
        endProgram(state, 0);
        return false;
    }

    if (!createConnection(state.db.connection) || !createRecordSet(state.db.sharedRecordSet)
        || !createRecordSet(state.db.browseRecordSet)) {
        messageBox(QStringLiteral("ADODB驱动没有安装!"), MessageStyle::Error);
        close();
        return false;
    }

    if (!state.db.connection->openDatabase(connectionStringFor(state.programDir)))
        messageBox(state.db.lastErrorText(), MessageStyle::Error);

    // The window is still hidden: it shows maximised when the login opens.
    // The available screen area is set as well, for desktops whose window
    // manager does not maximise.
    if (screen())
        setGeometry(screen()->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
    selectPage(Page::Start);
    registerAnchors();
    unitInfo->loadUnitSettings();
    loadIniSettings(*this);

    show();
    LoginWindow login(state, this);
    connect(&login, &LoginWindow::loggedIn, this,
            [this](const QString& name) { panes[0]->setText(QStringLiteral("操作员:") + name); });
    if (login.exec() != QDialog::Accepted)
        return false;

    activateWindow();
    raise();
    ensureCategoryList(state);
    ensureProgrammeList(state);
    ensureFormItems(state);
    return true;
}

void MainWindow::onMainWindowClosing()
{
    if (closingDone)
        return;
    closingDone = true;
    if (state.db.sharedRecordSet)
        state.db.sharedRecordSet->close();
    if (state.db.connection)
        state.db.connection->closeDatabase();
    saveIniSettings(*this);
    if (editor)
        editor->closeEditWindow();
}
