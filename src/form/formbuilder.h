#pragma once
// The registration form built at run time from formItems: controls cloned
// from hidden templates, told apart by their tag (the dynamic property
// `tag`: "i" for the edit box or select list of the i-th item, i×100+k for
// its k-th radio button or check box), and the handlers every clone shares.
// The add page owns one builder; the edit window can own another over its
// own templates.

#include "core/appstate.h"
#include "form/formlayout.h"
#include "form/registration.h"

#include <QObject>
#include <QVector>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QWidget;

// Lookups by tag, the one way built controls are found again. Searches the
// container and everything inside it; null when no control carries the tag.
QWidget* findTagged(const QWidget* container, const QString& tag);
template <typename T>
T* findTagged(const QWidget* container, const QString& tag)
{
    return qobject_cast<T*>(findTagged(container, tag));
}
QString tagOf(const QWidget* control);
void setTag(QWidget* control, const QString& tag);

// The text of a built edit box, one-line or multi-line.
QString editBoxText(const QWidget* box);

// What a built option or list entry added to keep a stored value holds (see
// keepStoredOptions): the value, and for a category or programme entry its
// server id; empty for a choice the item offers.
QString keptValueOf(const QAbstractButton* option);
QStringList keptValuesOf(const QComboBox* list, int index);

// What a select-list entry of the category or programme items stands for
// (its data is the 1-based list position); null for "全部", no entry or a
// position outside the list.
const Category* categoryOfEntry(const AppState& state, const QComboBox* list, int index);
const Programme* programmeOfEntry(const AppState& state, const QComboBox* list, int index);

// A new control made like the template: the same kind, name, look and size,
// hidden; it deletes itself when closed. The multi-line form of an edit box
// is a QPlainTextEdit with the edit template's look.
QWidget* cloneTemplate(const QWidget* templ, QWidget* parent);
QPlainTextEdit* cloneAsMultiLine(const QLineEdit* templ, QWidget* parent);

// The hidden controls a form is cloned from.
struct FormTemplates {
    QLabel* label = nullptr;
    QLineEdit* edit = nullptr;
    QCheckBox* check = nullptr;
    QRadioButton* radio = nullptr;
    QComboBox* list = nullptr;
    QWidget* container = nullptr;  // borderless frame holding an item's radio buttons
};

// The names a window gives its templates, in the order of FormTemplates.
struct TemplateNames {
    const char* label;
    const char* edit;
    const char* check;
    const char* radio;
    const char* list;
    const char* container;
};

// Creates the hidden templates inside `frame`, at the template sizes.
// Captions end where their controls begin, also on a shared compact row.
FormTemplates createFormTemplates(QWidget* frame, const TemplateNames& names);

struct BuildOptions {
    int categoryId = 0;  // > 0: programme options of this category only
    bool compact = false;
    int photoReserve = 0;
    LabelStyle labels = LabelStyle::AddPage;
    // The record the form will show, when there is one: what it holds that
    // the items no longer offer is added to their choices and so kept.
    StoredValues stored;
};

class FormBuilder : public QObject {
    Q_OBJECT
public:
    FormBuilder(AppState& state, QWidget* frame, const FormTemplates& templates, QObject* parent = nullptr);

    // Removes the previous build, then builds every item of formItems.
    void build(const BuildOptions& options);
    // clearBuiltForm: untags every built control first, so no lookup finds a
    // dying one, forgets what was entered (the category choice excepted) and
    // closes the controls.
    void clear();

    QWidget* frame() const { return container; }
    // The items of the last build; positions count from 1 in tags.
    const QVector<FormItem>& builtItems() const { return items; }
    const QVector<QWidget*>& builtControls() const { return controls; }
    const QVector<int>& radioTags() const { return radios; }
    const QVector<int>& checkTags() const { return checks; }
    int currentCategoryId() const { return categoryId; }
    int focusedItemIndex() const { return focusedItem; }

    // The edit box or select list of the item at `position`.
    QWidget* itemControl(int position) const;
    // The radio buttons or check boxes of the item at `position`, in option order.
    QVector<QAbstractButton*> optionControls(int position) const;
    // What the operator entered for the item at `position`, read from its
    // controls; enteredItems is parallel to builtItems.
    EnteredItem enteredItem(int position) const;
    QVector<EnteredItem> enteredItems() const;

    // The handlers every clone shares.
    void onChoiceChanged(QComboBox* source);
    void onTextItemFocus(QWidget* box);
    void onTextItemLeave(QWidget* box);
    void onCheckItemFocus(QWidget* box);
    // Tab in a text box or check box: the focus goes to the next text box or
    // select list in form order, wrapping. False when there is none.
    bool advanceFocus();

signals:
    // The category list of the form chose a category (0 = 全部); the owner rebuilds.
    void categoryChosen(int categoryId);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* makeClone(const QWidget* templ, QWidget* parent);
    FormItem* liveItem(int position);
    void buildItem(int position, const FormItem& item, const ItemOptions& options, const ItemPlacement& place,
                   const BuildOptions& build);

    AppState& state;
    QWidget* container;
    FormTemplates templates;
    QVector<FormItem> items;
    QVector<QWidget*> controls;
    QVector<int> radios;
    QVector<int> checks;
    int categoryId = 0;
    int focusedItem = 0;
    int generation = 0;  // counts builds and clears, so a build interrupted by another stops
};
