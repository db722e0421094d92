#pragma once
// The 打印模板 page: print templates (table dy) listed, shown, added, changed,
// deleted and previewed unfilled.

#include "core/appstate.h"
#include "printing/statements.h"

#include <QDateTime>
#include <QWidget>

class AnchorLayout;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;

// The list's 时间 cell: empty for dates before 2000 (rows never given one).
QString templateListDate(const QDateTime& added);

class TemplatesPage : public QWidget {
    Q_OBJECT
public:
    TemplatesPage(AppState& state, const QSize& size);

    void registerAnchors(AnchorLayout& anchors);

    void loadTemplateList();
    void showTemplate();
    void addTemplate();
    void modifyTemplate();
    void deleteTemplate();
    // Shows the content box's HTML, placeholders unfilled, through pre.htm.
    void previewTemplateSource();

signals:
    // A template was added, changed or deleted: the print choices are refilled.
    void templatesChanged();

private:
    // The id of the selected row, or 0 when no row is selected.
    int selectedTemplateId() const;
    // The trimmed content and title, or false after saying which is missing.
    bool readFilledBoxes(QString& content, QString& title);
    void finishWrite(bool succeeded, const QString& successText, const QString& failureText);

    AppState& state;
    QWidget* group = nullptr;
    QTreeWidget* list = nullptr;
    QCheckBox* enabledBox = nullptr;
    QLineEdit* titleBox = nullptr;
    QLineEdit* orderBox = nullptr;
    QLineEdit* timeBox = nullptr;
    QLineEdit* shortTitleBox = nullptr;
    QPlainTextEdit* contentBox = nullptr;
    QWidget* buttons[5] = {};
};
