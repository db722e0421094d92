#pragma once
// The add page: the registration form built from formItems (see
// form/formbuilder.h) inside 分组框_添加, with the hidden templates its
// controls are cloned from, the compact-layout switch, the initial review
// and payment states, the print choice, the confirm button and the photo
// group.

#include "core/appstate.h"
#include "form/formbuilder.h"
#include "form/registration.h"

#include <QWidget>

class AnchorLayout;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

class AddPage : public QWidget {
    Q_OBJECT
public:
    AddPage(AppState& state, const QSize& size);

    void registerAnchors(AnchorLayout& anchors);
    // The navigation's entry to the page: a new registration with no photo,
    // the lists loaded where empty, the form built for every category.
    void prepareForNewRegistration();

    // Builds the form afresh; a positive category id limits the programme
    // options to that category. Forgets the pending photo.
    void buildAddForm(int categoryId = 0);
    void clearBuiltForm();

    // 确定: the entered registration stored, its photo attached, printed as
    // chosen, and the form built afresh; on a failed check or statement the
    // entries stay.
    void saveNewRegistration();

    // The built form: its items, and its controls found by tag.
    const FormBuilder& form() const { return *builder; }
    FormBuilder& form() { return *builder; }

    // The remembered settings of the page (start-up and closing).
    QCheckBox* compactSwitch() const { return compact; }
    QComboBox* reviewSelector() const { return review; }
    QComboBox* paymentSelector() const { return payment; }
    QComboBox* printSelector() const { return print; }
    QPushButton* confirmButton() const { return confirm; }
    QLabel* photoBox() const { return photo; }
    // The photo chosen or taken for the registration being entered, waiting
    // for 确定; this page's own, apart from the edit window's.
    const QString& pendingPhoto() const { return pendingPhotoFile; }

private:
    InitialStates initialStates() const;
    // After the registration `saved` was stored (answerWasLost: by a try
    // whose answer did not come back): printed as chosen, the form anew.
    void finishSave(int saved, bool answerWasLost);

    AppState& state;
    QString pendingPhotoFile;
    // The key of the registration being entered, kept over failed tries so
    // that it is stored once; uncertain when a try could not learn whether
    // the server stored it.
    QString saveKey;
    bool saveKeyUncertain = false;
    // The registration this desk saved last; 按钮4 prints it.
    int savedRegistrationId = 0;
    QWidget* frame = nullptr;
    QWidget* bottomRow[8] = {};
    QWidget* photoGroup = nullptr;
    QLabel* photo = nullptr;
    QPushButton* confirm = nullptr;
    QPushButton* printNewest = nullptr;
    QCheckBox* compact = nullptr;
    QLabel* reviewLabel = nullptr;
    QComboBox* review = nullptr;
    QLabel* paymentLabel = nullptr;
    QComboBox* payment = nullptr;
    QComboBox* print = nullptr;
    FormTemplates templates;
    FormBuilder* builder = nullptr;
};
