#include "app/datasafety.h"

#include "platform/messagebox.h"
#include "store/backup.h"
#include "store/databasecheck.h"

#include <QFileInfo>

namespace {

const QString backupTitle = QStringLiteral("数据备份");

QString loginBlockedText(const DatabaseCheck& check)
{
    return QStringLiteral("数据库 zhao.dat %1，无法登录。\n请用备份恢复数据，或请管理员修复数据库后重新启动程序。")
        .arg(databaseProblemWords(check));
}

} // namespace

bool offerRestoreOfNewestBackup(const AppState& state)
{
    for (const BackupFile& backup : listBackups(defaultBackupFolder(state.programDir))) {
        StagedBackup staged = stageBackup(backup.path, state.programDir);
        // A damaged backup is passed over for the next older one.
        if (!staged.ok)
            continue;
        const int answer = messageBox(QStringLiteral("找到可用的备份 %1：\n\n%2\n\n要用这个备份恢复数据吗？"
                                                     "原来的数据库文件会改名后留在程序文件夹中。")
                                          .arg(QFileInfo(backup.path).fileName(), backupSummaryText(staged.manifest)),
                                      MessageStyle::YesNo | MessageStyle::Question, backupTitle);
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

DatabaseOpening openCheckedDatabase(AppState& state)
{
    DatabaseOpening opening;
    const QString path = state.programFile(QStringLiteral("zhao.dat"));
    DatabaseCheck check = checkDatabaseFile(path);
    if (!check.usable()) {
        messageBox(databaseProblemText(check, path), MessageStyle::Error);
        if (offerRestoreOfNewestBackup(state))
            check = checkDatabaseFile(path);
    }
    if (!check.usable()) {
        opening.loginBlockedReason = loginBlockedText(check);
        return opening;
    }
    if (!state.db.connection->openDatabase(connectionStringFor(state.programDir))) {
        messageBox(state.db.lastErrorText(), MessageStyle::Error);
        opening.loginBlockedReason = QStringLiteral("数据库 zhao.dat 打不开（%1），无法登录。").arg(state.db.lastErrorText());
        return opening;
    }
    opening.readOnly = check.readOnly;
    if (check.readOnly)
        messageBox(readOnlyDatabaseText(path), MessageStyle::Exclamation);
    return opening;
}
