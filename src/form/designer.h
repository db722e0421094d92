#pragma once
// The 表单 page: every form item (`style` row) listed, a selected item copied
// into the editing controls and saved back with the checks of the special
// columns; unused free items taken into use. The one-item preview of the
// page is attached through itemPreviewRequested and the page's accessors.

#include "core/appstate.h"
#include "form/statements.h"

#include <QVector>
#include <QWidget>

#include <optional>

class AnchorLayout;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class FieldPreview;

// The designer's name of a type code; empty for an unknown code.
QString typeName(int code);
// The code of a type name; `previous` for any other text.
int typeCodeOfName(const QString& name, int previous);
// The types a column may take, in the order the designer offers them.
QVector<int> allowedTypes(const QString& zd);

constexpr int ruleCount = 10;
QString ruleEntryText(int entry);
// The rule code stored for an entry; empty outside 0-9.
QString ruleCode(int entry);

// Why a type may not be saved for the column; empty when it may.
QString typeRefusal(const QString& zd, int type);
// The category and programme items belong at the top: a positive order is refused.
bool orderShouldBeNegative(const QString& zd, double order);


// The free items that 添加项目 takes into use, first unused first.
QStringList freeItemColumns();

class DesignerPage : public QWidget {
    Q_OBJECT
public:
    DesignerPage(AppState& state, const QSize& size);

    void registerAnchors(AnchorLayout& anchors);

    void loadDesignerList();
    void showSelectedItem();
    void fillTypeChoices(const QStringList& names, const QVector<int>& codes);
    void applyRuleCode();
    void saveItemChanges();
    // Takes the first disabled free item into use and selects it for editing.
    void addFormItem();

    // What the item preview reads and where it draws.
    QTreeWidget* itemList() const { return list; }
    QLineEdit* nameBox() const { return name; }
    QLineEdit* presetBox() const { return preset; }
    QLineEdit* columnBox() const { return column; }
    QComboBox* typeSelector() const { return type; }
    QGroupBox* previewGroup() const { return preview; }
    QPushButton* previewButton() const { return previewCommand; }
    QPushButton* fieldTemplateButton() const { return fieldTemplateCommand; }

signals:
    // A row has been copied into the editing controls: the item preview runs here.
    void itemPreviewRequested();
    // The category item was saved enabled or disabled: the category feature follows.
    void multiLocationChanged(bool on);

private:
    // The item as it is being edited, drawn in the preview group.
    void previewItem();
    QTreeWidgetItem* selectedRow() const;
    void selectRowWithId(int id);

    AppState& state;
    QWidget* frame = nullptr;
    QTreeWidget* list = nullptr;
    QWidget* editGroup = nullptr;
    QCheckBox* enabledBox = nullptr;
    QLineEdit* name = nullptr;
    QLineEdit* order = nullptr;
    QComboBox* type = nullptr;
    QCheckBox* requiredBox = nullptr;
    QLineEdit* preset = nullptr;
    QComboBox* rule = nullptr;
    QLineEdit* hint = nullptr;
    QLineEdit* idBox = nullptr;
    QLineEdit* column = nullptr;
    QGroupBox* preview = nullptr;
    QPushButton* previewCommand = nullptr;
    QPushButton* fieldTemplateCommand = nullptr;
    FieldPreview* fieldPreview = nullptr;
    QVector<QWidget*> rightButtons;
    QWidget* addBesidePreview = nullptr;
    int shownTypeCode = 0;  // the type of the row last shown
};
