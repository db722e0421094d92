#include "app/datasafety.h"

#include "platform/inifile.h"
#include "platform/messagebox.h"
#include "store/backup.h"
#include "store/databasecheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>

namespace {

const QString backupTitle = QStringLiteral("数据备份");
const QString databaseName = QStringLiteral("zhao.dat");

// How long the start waits for a database another program holds.
constexpr int lockWaitMs = 5000;

QString loginBlockedText(const DatabaseCheck& check)
{
    return QStringLiteral("数据库 zhao.dat %1，无法登录。\n请用备份恢复数据，或请管理员修复数据库后重新启动程序。")
        .arg(databaseProblemWords(check));
}

// A backup can stand in only for a file that is damaged or not the program's
// database; a file that is missing, unreadable or held by another program is
// the program's data still.
bool backupCanReplace(DatabaseProblem problem)
{
    switch (problem) {
    case DatabaseProblem::NotADatabase:
    case DatabaseProblem::Damaged:
    case DatabaseProblem::MissingTable:
    case DatabaseProblem::MissingColumn:
        return true;
    case DatabaseProblem::None:
    case DatabaseProblem::NotAFile:
    case DatabaseProblem::NotReadable:
    case DatabaseProblem::Locked:
        return false;
    }
    return false;
}

// The newest database a restore set aside that can serve, put back as
// zhao.dat when the operator wants it. True when it is in place.
bool offerSetAsideDatabase(const AppState& state)
{
    for (const QString& copy : setAsideDatabases(state.programDir)) {
        if (!checkDatabaseFile(copy, CheckDepth::Quick, lockWaitMs).usable())
            continue;
        const QFileInfo info(copy);
        const int answer = messageBox(
            QStringLiteral("程序文件夹中没有数据库 zhao.dat，但有恢复数据时留下的数据库 %1（最后修改于 %2）。\n\n"
                           "要把它放回，作为 zhao.dat 继续使用吗？")
                .arg(info.fileName(), info.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))),
            MessageStyle::YesNo | MessageStyle::Question, backupTitle);
        if (answer != AnswerYes)
            return false;
        QString reason;
        if (putBackSetAsideDatabase(copy, state.programDir, &reason))
            return true;
        messageBox(QStringLiteral("无法把 %1 放回为 zhao.dat（%2）。").arg(QDir::toNativeSeparators(copy), reason),
                   MessageStyle::Error, backupTitle);
        return false;
    }
    return false;
}

// True when the last run closed cleanly and zhao.dat is still as it left it.
// The mark goes either way: it speaks for one start only.
bool takeCleanCloseMark(const AppState& state)
{
    QFile mark(state.programFile(cleanCloseFileName()));
    if (!mark.open(QIODevice::ReadOnly))
        return false;
    const QString stamp = QString::fromLatin1(mark.readAll());
    mark.close();
    mark.remove();
    return !stamp.isEmpty() && stamp == databaseFileStamp(state.programFile(databaseName));
}

} // namespace

QString cleanCloseFileName()
{
    return QStringLiteral("brenvo.closed");
}

void leaveCleanCloseMark(const AppState& state)
{
    const QString stamp = databaseFileStamp(state.programFile(databaseName));
    QFile mark(state.programFile(cleanCloseFileName()));
    if (!stamp.isEmpty() && mark.open(QIODevice::WriteOnly | QIODevice::Truncate))
        mark.write(stamp.toLatin1());
}

QString alreadyRunningText(const QString& programDir)
{
    return QStringLiteral("程序已在运行（程序文件夹 %1）。\n同一个程序文件夹只能运行一个本程序，请使用已经打开的窗口。")
        .arg(QDir::toNativeSeparators(programDir));
}

QString instanceLockFileName()
{
    return QStringLiteral("brenvo.lock");
}

bool claimProgramDirectory(AppState& state)
{
    state.instanceLock = lockDirectory(state.programDir, instanceLockFileName());
    if (state.instanceLock.heldElsewhere) {
        messageBox(alreadyRunningText(state.programDir), MessageStyle::Exclamation | MessageStyle::SystemModal);
        return false;
    }
    // Only a run that holds the directory knows that no restore is running there.
    if (state.instanceLock.lock)
        removeUnfinishedRestores(state.programDir);
    return true;
}

bool offerRestoreOfNewestBackup(const AppState& state, const QString& situation)
{
    const bool replacing = QFileInfo::exists(state.programFile(databaseName));
    for (const BackupFile& backup : listBackups(defaultBackupFolder(state.programDir))) {
        StagedBackup staged = stageBackup(backup.path, state.programDir);
        // A damaged backup is passed over for the next older one.
        if (!staged.ok)
            continue;
        QString question = QStringLiteral("找到可用的备份 %1：\n\n%2\n\n要用这个备份恢复数据吗？")
                               .arg(QFileInfo(backup.path).fileName(), backupSummaryText(staged.manifest));
        if (!situation.isEmpty())
            question.prepend(situation + QStringLiteral("\n\n"));
        if (replacing)
            question += QStringLiteral("原来的数据库文件会改名后留在程序文件夹中。");
        const int answer = messageBox(question, MessageStyle::YesNo | MessageStyle::Question, backupTitle);
        if (answer != AnswerYes)
            return false;
        QString error;
        if (!applyStagedBackup(staged, state.programDir, true, &error)) {
            messageBox(error, MessageStyle::Error, backupTitle);
            return false;
        }
        messageBox(QStringLiteral("数据已从备份 %1 恢复。").arg(QFileInfo(backup.path).fileName()),
                   MessageStyle::Information, backupTitle);
        return true;
    }
    return false;
}

bool offerRecoveryOfMissingDatabase(const AppState& state)
{
    return offerSetAsideDatabase(state)
           || offerRestoreOfNewestBackup(state, QStringLiteral("程序文件夹中没有数据库 zhao.dat。"));
}

QString serverConnectionSetting(const QString& iniPath)
{
    return readIniValue(iniPath, QStringLiteral("connection"), QString(), QStringLiteral("server")).trimmed();
}

store::ServerLimits serverLimitsSetting(const QString& iniPath)
{
    const auto seconds = [&iniPath](const char* key, int usual) {
        const int given = readIniValue(iniPath, QLatin1String(key), QString(), QStringLiteral("server")).trimmed().toInt();
        return given > 0 ? given : usual;
    };
    const store::ServerLimits usual;
    return {seconds("connecttimeout", usual.connectSeconds), seconds("statementtimeout", usual.statementSeconds)};
}

QString connectToServer(AppState& state)
{
    if (state.db.connection->openServer(state.serverConnection, state.serverLimits))
        return QString();
    return state.db.lastErrorForOperator() + QStringLiteral("\n无法登录。");
}

DatabaseOpening openServerDatabase(AppState& state)
{
    DatabaseOpening opening;
    for (;;) {
        opening.loginBlockedReason = connectToServer(state);
        if (opening.loginBlockedReason.isEmpty())
            return opening;
        if (state.db.connection->lastErrorKind() != store::ErrorKind::NoAnswer)
            break;
        if (messageBox(state.db.lastErrorForOperator(), MessageStyle::RetryQuit | MessageStyle::Error) != AnswerRetry) {
            opening.operatorQuit = true;
            return opening;
        }
    }
    messageBox(state.db.lastErrorForOperator(), MessageStyle::Error);
    return opening;
}

void buildTextIndexWithProgress(DbConnection& connection)
{
    QProgressDialog progress(QStringLiteral("正在为查找建立索引，只在升级后第一次打开时进行，请稍候……"), QString(), 0,
                             1000);
    progress.setObjectName(QStringLiteral("进度_检索索引"));
    progress.setWindowTitle(QStringLiteral("建立检索索引"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setValue(0);
    const bool built = connection.buildTextIndex([&progress](qint64 done, qint64 total) {
        progress.setValue(total > 0 ? int(done * 1000 / total) : 1000);
    });
    progress.close();
    if (!built)
        messageBox(QStringLiteral("查找用的索引没有建成（%1），查找会慢一些；下次启动时再建。")
                       .arg(connection.lastErrorText()),
                   MessageStyle::Exclamation);
}

DatabaseOpening openCheckedDatabase(AppState& state)
{
    DatabaseOpening opening;
    const QString path = state.programFile(databaseName);
    CheckDepth depth = takeCleanCloseMark(state) ? CheckDepth::Schema : CheckDepth::Quick;
    DatabaseCheck check = checkDatabaseFile(path, depth, lockWaitMs);
    if (!check.usable()) {
        messageBox(databaseProblemText(check, path), MessageStyle::Error);
        if (check.problem == DatabaseProblem::Locked) {
            opening.heldByAnotherProgram = true;
            return opening;
        }
        if (backupCanReplace(check.problem) && offerRestoreOfNewestBackup(state)) {
            depth = CheckDepth::Quick;
            check = checkDatabaseFile(path, depth, lockWaitMs);
        }
    }
    if (!check.usable()) {
        opening.loginBlockedReason = loginBlockedText(check);
        return opening;
    }
    if (!state.db.connection->openDatabase(connectionStringFor(state.programDir))) {
        const QString error = state.db.lastErrorForOperator();
        messageBox(error, MessageStyle::Error);
        opening.loginBlockedReason = QStringLiteral("数据库 zhao.dat 打不开（%1），无法登录。").arg(error);
        return opening;
    }
    opening.readOnly = check.readOnly;
    opening.pagesUnchecked = depth == CheckDepth::Schema;
    if (!check.readOnly && !state.db.connection->textIndexBuilt())
        buildTextIndexWithProgress(*state.db.connection);
    if (check.readOnly)
        messageBox(readOnlyDatabaseText(path), MessageStyle::Exclamation);
    return opening;
}
