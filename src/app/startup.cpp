// Start-up and closing of the main window.
#include "app/datasafety.h"
#include "app/lifecycle.h"
#include "app/loginwindow.h"
#include "app/mainwindow.h"
#include "app/settings.h"
#include "app/startpage.h"
#include "app/unitinfo.h"
#include "core/lists.h"
#include "platform/events.h"
#include "platform/messagebox.h"
#include "printing/previewwindow.h"
#include "records/editwindow.h"
#include "store/backup.h"
#include "store/databasecheck.h"

#include <QFileInfo>
#include <QLabel>
#include <QScreen>

#include <memory>

namespace {
// How long the later check waits for the program's own writes to let it read.
constexpr int laterCheckWaitMs = 10000;
} // namespace

bool MainWindow::onMainWindowCreated()
{
    if (!claimProgramDirectory(state)) {
        endProgram(state, 0);
        return false;
    }
    state.serverConnection = serverConnectionSetting(state.programFile(QStringLiteral("duzarizered.ini")));
    state.serverLimits = serverLimitsSetting(state.programFile(QStringLiteral("duzarizered.ini")));
    // A desk on a server needs no zhao.dat of its own.
    if (state.serverConnection.isEmpty() && !QFileInfo::exists(state.programFile(QStringLiteral("zhao.dat")))
        && !offerRecoveryOfMissingDatabase(state)) {
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

    const DatabaseOpening opening =
        state.serverConnection.isEmpty() ? openCheckedDatabase(state) : openServerDatabase(state);
    if (opening.heldByAnotherProgram || opening.operatorQuit) {
        endProgram(state, 0);
        return false;
    }

    // The window is still hidden: it shows maximised when the login opens.
    // The available screen area is set as well, for desktops whose window
    // manager does not maximise.
    if (screen())
        setGeometry(screen()->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
    selectPage<StartPage>();
    registerAnchors();
    // Without a database every query would only repeat that it is not open.
    if (state.db.connection->isOpen())
        page<UnitInfoPage>()->loadUnitSettings();
    loadIniSettings(*this);
    if (opening.readOnly)
        panes[1]->setText(QStringLiteral("提示：") + readOnlyStatusText());

    show();
    LoginWindow login(state, this);
    login.setUnavailableReason(opening.loginBlockedReason);
    // A server that comes back after the start is used from the next 登录 on.
    if (!state.serverConnection.isEmpty())
        login.setReconnect([this] {
            const QString reason = connectToServer(state);
            if (reason.isEmpty())
                page<UnitInfoPage>()->loadUnitSettings();
            return reason;
        });
    connect(&login, &LoginWindow::loggedIn, this,
            [this](const QString& name) { panes[0]->setText(QStringLiteral("操作员:") + name); });
    if (login.exec() != QDialog::Accepted)
        return false;

    activateWindow();
    raise();
    ensureCategoryList(state);
    ensureProgrammeList(state);
    ensureFormItems(state);
    if (opening.pagesUnchecked)
        startLaterDatabaseCheck();
    return true;
}

void MainWindow::startLaterDatabaseCheck()
{
    const QString path = state.programFile(QStringLiteral("zhao.dat"));
    auto found = std::make_shared<DatabaseCheck>();
    auto stop = std::make_shared<CheckStop>();
    stopLaterCheck = stop;
    laterCheck.reset(QThread::create(
        [path, found, stop] { *found = checkDatabaseFile(path, CheckDepth::Quick, laterCheckWaitMs, stop.get()); }));
    connect(laterCheck.get(), &QThread::finished, this, [this, path, found, stop] {
        // A file the program's own writes held past the wait says nothing about its pages.
        if (stop->requested() || found->usable() || found->problem == DatabaseProblem::Locked)
            return;
        laterCheckFoundDamage = true;
        messageBox(databaseProblemText(*found, path) + QStringLiteral("\n请用备份恢复数据，或请管理员修复数据库。"),
                   MessageStyle::Error);
    });
    laterCheck->start(QThread::LowPriority);
}

void MainWindow::stopLaterDatabaseCheck()
{
    if (!laterCheck)
        return;
    stopLaterCheck->request();
    laterCheck->wait();
    laterCheck.reset();
}

void MainWindow::onMainWindowClosing()
{
    if (closingDone)
        return;
    closingDone = true;
    stopLaterDatabaseCheck();
    closePrintPreview();
    if (state.db.sharedRecordSet)
        state.db.sharedRecordSet->close();
    const bool databaseWasOpen = state.db.connection && state.db.connection->isOpen();
    if (state.db.connection)
        state.db.connection->closeDatabase();
    saveIniSettings(*this);
    // Closed before the backup lets pending messages run: nothing may save into the closed database.
    if (editor)
        editor->closeEditWindow();
    // Only a database that served is backed up: a damaged one would replace
    // a good backup among the ten kept.
    if (databaseWasOpen && state.serverConnection.isEmpty()) {
        const BackupResult backup = automaticBackupIfChanged(state.programDir, [this] {
            showResult(QStringLiteral("正在自动备份数据，请稍候……"));
            processPendingMessages();
        });
        if (!backup.ok)
            messageBox(QStringLiteral("退出前的自动备份没有完成：") + backup.error, MessageStyle::Exclamation);
        if (!laterCheckFoundDamage)
            leaveCleanCloseMark(state);
    }
}
