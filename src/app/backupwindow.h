#pragma once
// The 数据备份 window: the backups found in the backup folder, 备份 (a new
// archive of the database, photos and settings) and 恢复 (a verified archive
// put in place of the current data, after an automatic backup of it).

#include "core/appstate.h"
#include "store/backup.h"

#include <QDialog>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

class BackupWindow : public QDialog {
    Q_OBJECT
public:
    BackupWindow(AppState& state, QWidget* parent = nullptr);

    void onBackupClicked();
    // Restores the selected backup; without a selection the operator picks an archive.
    void onRestoreClicked();
    void onChooseFolderClicked();
    void restoreFrom(const QString& archive);

    QString folder() const { return backupFolder; }
    void setFolder(const QString& folder);
    void refreshList();

signals:
    // The data was replaced: the program has to start again from the login.
    void restored();

private:
    void showProgress(qint64 done, qint64 total);
    // The program's data into an archive in folder: zhao.dat's, or the server's.
    BackupResult backUp(const QString& folder, BackupKind kind, const BackupProgress& progress = {});
    void releaseDatabase();

    AppState& state;
    QString backupFolder;
    QLineEdit* folderBox = nullptr;
    QTreeWidget* list = nullptr;
    QProgressBar* progress = nullptr;
    QPushButton* backupButton = nullptr;
    QPushButton* restoreButton = nullptr;
};

// The caption of a backup in the list: 手动备份 / 自动备份.
QString backupKindText(bool automatic);
