#pragma once
// The edit window: a registration opened from the browse list in a separate,
// non-modal window, the same form as the add page built from formItems
// inside 分组框1_添加 and filled with the stored values, with the
// registration time, the review and payment states (shown only) and the
// photograph. 确定 writes the form back with one UPDATE, stores a newly
// chosen photograph and shows the browse page again. The window remembers
// its size and place in the settings file.

#include "core/appstate.h"
#include "form/formbuilder.h"
#include "platform/anchors.h"

#include <QPointer>
#include <QWidget>

class BrowsePage;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

// Writes the edit window's pending photograph as the photo of registration
// `recordId`: the fj row inserted (and imgid set) or its file name replaced,
// each step reported in the status bar; false when a step failed.
// replacedFile: the file the row named before, to be removed once the save
// is committed.
bool storeEditPhoto(AppState& state, int recordId, const QString& pendingPhoto, QString& replacedFile);

class EditWindow : public QWidget {
    Q_OBJECT
public:
    EditWindow(AppState& state, BrowsePage& browse, QWidget* parent = nullptr);

    // Builds the form anew; with filterByCategory and a category other than
    // 0 the programme items offer that category's programmes only. What the
    // record editRecordId holds that the items no longer offer is added to
    // their choices, marked, so that it is shown and saved unchanged.
    void buildEditForm(int categoryId, bool filterByCategory);
    // Reads the registration editRecordId (taken first from the browse
    // list's current row unless keepId) and shows it in the built form. The
    // category list shows the record's category until the operator chooses
    // another in the form, then editCategoryId.
    void loadEditRecord(bool keepId);
    // The category list of the form chose another category.
    void onEditCategoryChanged(int categoryId);
    void onCompactLayoutToggled();
    void saveEditRecord();

    // The record and category of the next opening, before the form is built.
    void prepareFor(int recordId, int categoryId);

    int editRecordId() const { return recordId; }
    int editCategoryId() const { return categoryId; }
    // True while the form shows a registration read from the database.
    bool recordLoaded() const { return loaded; }
    const FormBuilder& form() const { return *builder; }
    // The photograph chosen or taken here for the record on show, waiting
    // for 确定; this window's own, apart from the add page's.
    const QString& pendingPhoto() const { return pendingPhotoFile; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void onEditWindowCreated();
    void buildPhotoGroup();
    void buildBottomRow(int height);
    void registerAnchors();
    StoredValues readStoredValues();
    void showStoredValue(int position, const FormItem& item, const QString& value);
    void showStates(int review, int payment);
    void loadPhoto();
    // The registration on show is gone: said, and the window closes.
    void closeOnDeletedRecord();
    void choosePhoto();
    void takePhoto();
    void clearPhoto();

    AppState& state;
    BrowsePage& browse;
    int recordId = 0;
    int categoryId = 0;
    bool categoryChosenHere = false;  // the operator chose a category in the form
    bool loaded = false;
    // The stored row as it was when loaded (rowFingerprint), so a save over
    // another desk's change is noticed.
    QString loadedFingerprint;
    QString pendingPhotoFile;

    AnchorLayout anchors;
    QWidget* frame = nullptr;
    QWidget* photoGroup = nullptr;
    QLabel* photo = nullptr;
    QPushButton* browseButton = nullptr;
    QPushButton* clearButton = nullptr;
    QPushButton* cameraButton = nullptr;
    QLabel* reviewLabel = nullptr;
    QComboBox* review = nullptr;
    QLabel* paymentLabel = nullptr;
    QComboBox* payment = nullptr;
    QLabel* timeLabel = nullptr;
    QCheckBox* compact = nullptr;
    QPushButton* confirm = nullptr;
    FormTemplates templates;
    FormBuilder* builder = nullptr;
};

// Opens the browse list's registrations in the edit window: created on the
// first double-click, reused by the next ones, closed with the main window.
class RecordEditor : public QObject {
    Q_OBJECT
public:
    RecordEditor(AppState& state, BrowsePage& browse, QWidget* owner);

    void openSelectedRecord();
    void closeEditWindow();
    EditWindow* editWindow() const { return window; }

private:
    AppState& state;
    BrowsePage& browse;
    QWidget* owner;
    QPointer<EditWindow> window;
};
