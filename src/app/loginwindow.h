#pragma once
// The login window: opened modally at start; only a successful login or the
// 退出 button (which ends the program) leave it.

#include "core/appstate.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;

class LoginWindow : public QDialog {
    Q_OBJECT
public:
    LoginWindow(AppState& state, QWidget* parent = nullptr);

    // Set when the database cannot serve: the window says why, and 登录
    // repeats it instead of trying.
    void setUnavailableReason(const QString& reason);
    // While the database cannot serve, 登录 runs reconnect first: it gives
    // the reason that still holds, or empty when the database serves now.
    void setReconnect(std::function<QString()> reconnect);

    void onLoginClicked();
    void onExitClicked();

signals:
    // A successful login, before the window closes.
    void loggedIn(const QString& operatorName);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void onLoginWindowCreated();
    void loadAccounts();

    AppState& state;
    QComboBox* accountBox = nullptr;
    QLineEdit* passwordBox = nullptr;
    QLabel* initialPasswordHint = nullptr;
    QLabel* unavailableLabel = nullptr;
    QString unavailableReason;
    std::function<QString()> reconnect;
};
