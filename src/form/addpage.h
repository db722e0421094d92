#pragma once
// The add page's frame and the controls around the registration form: the
// compact-layout switch, the initial review and payment states, the print
// choice, the confirm button and the photo group.

#include "core/appstate.h"

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
    // The navigation's preparation of the page for a new registration.
    void prepareForNewRegistration();

    // The remembered settings of the page (start-up and closing).
    QCheckBox* compactSwitch() const { return compact; }
    QComboBox* reviewSelector() const { return review; }
    QComboBox* paymentSelector() const { return payment; }
    QComboBox* printSelector() const { return print; }

private:
    AppState& state;
    QWidget* frame = nullptr;
    QWidget* bottomRow[8] = {};
    QWidget* photoGroup = nullptr;
    QLabel* photo = nullptr;
    QPushButton* confirm = nullptr;
    QCheckBox* compact = nullptr;
    QComboBox* review = nullptr;
    QComboBox* payment = nullptr;
    QComboBox* print = nullptr;
};
