#include "app/backupwindow.h"

#include "app/lifecycle.h"
#include "app/mainwindow.h"
#include "core/permissions.h"
#include "platform/events.h"
#include "platform/messagebox.h"
#include "store/backup.h"
#include "store/serverbackup.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

namespace {

const QString backupTitle = QStringLiteral("数据备份");

QPushButton* makeButton(const QString& name, const QString& caption, const QRect& geometry, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    return button;
}

} // namespace

QString backupKindText(bool automatic)
{
    return automatic ? QStringLiteral("自动备份") : QStringLiteral("手动备份");
}

BackupWindow::BackupWindow(AppState& appState, QWidget* parent) : QDialog(parent), state(appState)
{
    setWindowTitle(backupTitle);
    setFixedSize(560, 380);
    setModal(true);

    auto* folderLabel = new QLabel(QStringLiteral("备份位置："), this);
    folderLabel->setGeometry(16, 16, 72, 24);
    folderBox = new QLineEdit(this);
    folderBox->setObjectName(QStringLiteral("编辑框_备份_位置"));
    folderBox->setReadOnly(true);
    folderBox->setGeometry(88, 16, 360, 24);
    auto* chooseButton = makeButton(QStringLiteral("按钮_备份_位置"), QStringLiteral("更改位置…"), QRect(456, 15, 88, 26), this);
    connect(chooseButton, &QPushButton::clicked, this, &BackupWindow::onChooseFolderClicked);

    list = new QTreeWidget(this);
    list->setObjectName(QStringLiteral("超级列表框_备份"));
    list->setGeometry(16, 52, 528, 240);
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("备份时间"), QStringLiteral("类型"), QStringLiteral("大小"), QStringLiteral("文件名")});
    list->setColumnWidth(0, 150);
    list->setColumnWidth(1, 80);
    list->setColumnWidth(2, 80);

    progress = new QProgressBar(this);
    progress->setObjectName(QStringLiteral("进度条_备份"));
    progress->setGeometry(16, 302, 528, 20);
    progress->setRange(0, 1000);
    progress->setVisible(false);

    auto* hint = new QLabel(QStringLiteral("恢复前请选中一个备份，不选则从文件选择"), this);
    hint->setGeometry(16, 336, 250, 28);
    hint->setStyleSheet(QStringLiteral("color: #555555; font-size: 11px;"));

    backupButton = makeButton(QStringLiteral("按钮_备份_备份"), QStringLiteral("备份"), QRect(272, 336, 84, 28), this);
    restoreButton = makeButton(QStringLiteral("按钮_备份_恢复"), QStringLiteral("恢复"), QRect(366, 336, 84, 28), this);
    auto* closeButton = makeButton(QStringLiteral("按钮_备份_关闭"), QStringLiteral("关闭"), QRect(460, 336, 84, 28), this);
    connect(backupButton, &QPushButton::clicked, this, &BackupWindow::onBackupClicked);
    connect(restoreButton, &QPushButton::clicked, this, &BackupWindow::onRestoreClicked);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);

    setFolder(defaultBackupFolder(state.programDir));
}

void BackupWindow::setFolder(const QString& folder)
{
    backupFolder = folder;
    folderBox->setText(QDir::toNativeSeparators(folder));
    refreshList();
}

void BackupWindow::refreshList()
{
    list->clear();
    for (const BackupFile& backup : listBackups(backupFolder)) {
        auto* row = new QTreeWidgetItem(list);
        row->setText(0, backup.moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        row->setText(1, backupKindText(backup.kind == BackupKind::Automatic));
        row->setText(2, fileSizeText(QFileInfo(backup.path).size()));
        row->setText(3, QFileInfo(backup.path).fileName());
        row->setData(0, Qt::UserRole, backup.path);
    }
}

void BackupWindow::onChooseFolderClicked()
{
    const QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("选择备份位置"), backupFolder);
    if (!chosen.isEmpty())
        setFolder(chosen);
}

void BackupWindow::showProgress(qint64 done, qint64 total)
{
    progress->setValue(total > 0 ? int(done * 1000 / total) : 0);
    processPendingMessages();
}

void BackupWindow::onBackupClicked()
{
    backupButton->setEnabled(false);
    restoreButton->setEnabled(false);
    progress->setValue(0);
    progress->setVisible(true);
    const BackupResult result = backUp(backupFolder, BackupKind::Manual,
                                       [this](qint64 done, qint64 total) { showProgress(done, total); });
    progress->setVisible(false);
    backupButton->setEnabled(true);
    restoreButton->setEnabled(true);
    if (!result.ok) {
        messageBox(result.error, MessageStyle::Error, backupTitle);
        state.showResult(QStringLiteral("数据备份失败"));
        return;
    }
    refreshList();
    state.showResult(QStringLiteral("数据已备份到 ") + QDir::toNativeSeparators(result.archivePath));
}

BackupResult BackupWindow::backUp(const QString& folder, BackupKind kind, const BackupProgress& progress)
{
    // A server desk backs up the server's data, in the same archive format.
    if (!state.serverConnection.isEmpty())
        return writeServerBackup(*state.db.connection, state.programDir, folder, kind, progress);
    return writeBackup(state.programDir, folder, kind, progress);
}

void BackupWindow::onRestoreClicked()
{
    QString archive;
    if (QTreeWidgetItem* row = list->currentItem(); row && row->isSelected())
        archive = row->data(0, Qt::UserRole).toString();
    else
        archive = QFileDialog::getOpenFileName(this, QStringLiteral("选择要恢复的备份"), backupFolder,
                                               QStringLiteral("备份文件 (*.zip)"));
    if (!archive.isEmpty())
        restoreFrom(archive);
}

void BackupWindow::releaseDatabase()
{
    if (state.db.sharedRecordSet)
        state.db.sharedRecordSet->close();
    if (state.db.browseRecordSet)
        state.db.browseRecordSet->close();
    if (state.db.connection)
        state.db.connection->closeDatabase();
}

void BackupWindow::restoreFrom(const QString& archive)
{
    StagedBackup staged = stageBackup(archive, state.programDir);
    if (!staged.ok) {
        messageBox(staged.error, MessageStyle::Error, backupTitle);
        state.showResult(QStringLiteral("恢复失败，当前数据没有改变"));
        return;
    }
    const bool onServer = !state.serverConnection.isEmpty();
    const QString replaced = onServer ? QStringLiteral("要用这个备份替换服务器上的全部数据吗？所有工作站都将使用恢复后的数据。\n\n")
                                      : QStringLiteral("要用这个备份替换当前的全部数据吗？\n\n");
    const int answer = messageBox(replaced + backupSummaryText(staged.manifest)
                                      + QStringLiteral("\n\n恢复前会先自动备份当前的数据；恢复后程序重新启动，需要重新登录。"),
                                  MessageStyle::YesNo | MessageStyle::Question, backupTitle);
    if (answer != AnswerYes)
        return;

    const BackupResult safetyCopy = backUp(defaultBackupFolder(state.programDir), BackupKind::Automatic);
    if (!safetyCopy.ok) {
        messageBox(safetyCopy.error + QStringLiteral("\n当前数据没有备份，所以没有恢复。"), MessageStyle::Error, backupTitle);
        state.showResult(QStringLiteral("恢复失败，当前数据没有改变"));
        return;
    }
    pruneAutomaticBackups(defaultBackupFolder(state.programDir), 10);

    QString error;
    if (onServer && !restoreIntoServer(staged, *state.db.connection, &error)) {
        messageBox(error + QStringLiteral("\n恢复前的数据已备份在 ") + QDir::toNativeSeparators(safetyCopy.archivePath),
                   MessageStyle::Error, backupTitle);
        state.showResult(QStringLiteral("恢复失败"));
        return;
    }
    if (!onServer)
        releaseDatabase();
    if (!onServer && !applyStagedBackup(staged, state.programDir, false, &error)) {
        state.db.connection->openDatabase(connectionStringFor(state.programDir));
        messageBox(error + QStringLiteral("\n恢复前的数据已备份在 ") + QDir::toNativeSeparators(safetyCopy.archivePath),
                   MessageStyle::Error, backupTitle);
        state.showResult(QStringLiteral("恢复失败"));
        return;
    }
    messageBox(QStringLiteral("数据已从备份恢复。程序将重新启动，请重新登录。"), MessageStyle::Information, backupTitle);
    accept();
    emit restored();
}

void MainWindow::openBackupWindow()
{
    if (!guardManage(state))
        return;
    BackupWindow window(state, this);
    connect(&window, &BackupWindow::restored, this, [this] {
        // The restored settings file stays as restored, and the data just
        // put in place needs no backup at exit.
        closingDone = true;
        restartProgram(state);
    });
    window.exec();
}
