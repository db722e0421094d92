#pragma once
// The unit information (table xx) with its four switches, and the read-only
// page of the online edition's settings (table sync).

#include "app/statements.h"
#include "core/appstate.h"

#include <QWidget>
#include <QStringList>

class QComboBox;
class QLineEdit;


// The entry a switch selector shows for a stored value: 0 "启用" for exactly 1,
// otherwise 1 "关闭(默认)".
int switchSelectorPosition(int storedValue);

class UnitInfoPage : public QWidget {
    Q_OBJECT
public:
    UnitInfoPage(AppState& state, const QSize& size);

    void loadUnitSettings();
    void applyMultiLocation();
    void showUnitInfo();
    void onSaveUnitInfo();

signals:
    // The multi-location switch as applied to the navigation and the pages.
    void multiLocationApplied(bool on);

private:
    UnitInfoValues valuesFromPage() const;
    void setUnitSettings(const RecordSet& row);

    AppState& state;
    QLineEdit* nameBox = nullptr;
    QLineEdit* addressBox = nullptr;
    QLineEdit* telephoneBox = nullptr;
    QLineEdit* qqBox = nullptr;
    QLineEdit* emailBox = nullptr;
    QLineEdit* faxBox = nullptr;
    QComboBox* switches[4] = {};
};

class SyncPage : public QWidget {
    Q_OBJECT
public:
    SyncPage(AppState& state, const QSize& size);
    void showSyncSettings();

private:
    AppState& state;
    QLineEdit* urlBox = nullptr;
    QLineEdit* nameBox = nullptr;
    QLineEdit* passBox = nullptr;
    QLineEdit* batchBox = nullptr;
};
