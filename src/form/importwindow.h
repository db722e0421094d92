#pragma once
// The 导入报名 window: a spreadsheet (.xlsx or .csv) chosen, its columns
// matched to the form's items (each match can be changed or dropped), the
// first rows shown as they will be stored with each row's problem, then the
// rows without a problem stored together and the others written beside the
// file as <name>_未导入.csv. The import shows its progress as it goes and
// 取消 stops it with nothing stored.

#include "core/appstate.h"
#include "form/importfile.h"
#include "form/importrows.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QWidget;

// The rows the preview shows.
constexpr int importPreviewRows = 20;

class ImportWindow : public QDialog {
    Q_OBJECT
public:
    ImportWindow(AppState& state, QWidget* parent = nullptr);

    // 按钮_导入_选择文件: the dialog, then openFile.
    void onChooseFileClicked();
    // Reads the file, matches its columns and shows the preview; false (with
    // a message) when it cannot be read.
    bool openFile(const QString& path);
    // 按钮_导入_开始. Gives the number of rows stored, -1 when nothing was.
    int startImport();
    // 按钮_导入_取消: the running import stops and stores nothing.
    void cancelImport();

    // The selector of the file's column (0-based).
    QComboBox* columnSelector(int column) const;

protected:
    void reject() override;

private:
    ImportContext context() const;
    QStringList chosenColumns() const;
    QVector<ImportRow> convertRows(int limit) const;
    bool markDuplicates(QVector<ImportRow>& rows);
    void buildSelectors();
    void refreshPreview();
    void setRunning(bool running);
    bool showProgress(const ImportProgress& progress);

    AppState& state;
    QString sourcePath;
    CsvEncoding encoding = CsvEncoding::Utf8;
    ImportTable table;  // the header and the rows the preview shows
    bool running = false;
    bool cancelRequested = false;
    QVector<QComboBox*> selectors;
    QLabel* fileLabel = nullptr;
    QWidget* selectorPanel = nullptr;
    QTreeWidget* preview = nullptr;
    QCheckBox* allowDuplicates = nullptr;
    QProgressBar* progress = nullptr;
    QPushButton* chooseButton = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QLabel* resultLabel = nullptr;
};

// While one exists, the open-file dialog of 导入报名 is not shown: `choose`
// answers instead (empty: cancelled), so the import runs without a person.
class ImportFileDialogOverride {
public:
    explicit ImportFileDialogOverride(std::function<QString()> choose);
    ~ImportFileDialogOverride();
    ImportFileDialogOverride(const ImportFileDialogOverride&) = delete;
    ImportFileDialogOverride& operator=(const ImportFileDialogOverride&) = delete;

private:
    std::function<QString()> previous;
};
