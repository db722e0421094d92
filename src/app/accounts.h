#pragma once
// The 帐户管理 page: operator accounts listed, added, changed and deleted.

#include "core/appstate.h"

#include <QWidget>

class AnchorLayout;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QTreeWidget;

// The name a group code shows in the account list; empty for an unknown code.
QString accountGroupName(int code);

class AccountsPage : public QWidget {
    Q_OBJECT
public:
    AccountsPage(AppState& state, const QSize& size);

    void registerAnchors(AnchorLayout& anchors);

    void loadAccountList();
    void onAccountSelected();
    void onAddAccount();
    void onModifyAccount();
    void onDeleteAccount();

private:
    // The id of the selected row, or 0 when no row is selected.
    int selectedAccountId() const;
    // Refuses, with a message, a password that cannot be stored as typed.
    bool acceptPassword();
    void report(const QString& outcome);

    AppState& state;
    QWidget* group = nullptr;
    QWidget* lowerGroup = nullptr;
    QTreeWidget* list = nullptr;
    QCheckBox* enabledBox = nullptr;
    QLineEdit* nameBox = nullptr;
    QLineEdit* passwordBox = nullptr;
    QComboBox* groupSelector = nullptr;
    QWidget* buttons[3] = {};
};
