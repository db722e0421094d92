#pragma once
// The add page's frame and the controls around the registration form: the
// compact-layout switch, the initial review and payment states, the print
// choice, the confirm button and the photo group.

#include "app/appstate.h"

#include <QObject>

class AnchorLayout;
class QLabel;
class QPushButton;
class QWidget;

class AddPage : public QObject {
    Q_OBJECT
public:
    AddPage(AppState& state, QWidget* page);

    void registerAnchors(AnchorLayout& anchors);
    // The navigation's preparation of the page for a new registration.
    void prepareForNewRegistration();

private:
    AppState& state;
    QWidget* frame = nullptr;
    QWidget* bottomRow[8] = {};
    QWidget* photoGroup = nullptr;
    QLabel* photo = nullptr;
    QPushButton* confirm = nullptr;
};
