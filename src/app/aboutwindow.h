#pragma once
#include <QDialog>

class QLabel;

// Which database the desk uses, for the about window: its own zhao.dat, or
// the server of the connection string (a password in it is never shown).
QString databaseInUseText(const QString& serverConnection);

// The about window: product title, version and edition, the database in use;
// its label 透明标签1 ("确  定") closes it.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(const QString& databaseText, QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* closeLabel = nullptr;
};
