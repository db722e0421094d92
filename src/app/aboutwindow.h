#pragma once
#include <QDialog>

class QLabel;

// Which database the desk uses, for the about window: its own zhao.dat, or
// the server of the connection string (a password in it is never shown).
QString databaseInUseText(const QString& serverConnection);

// The about window: product title, version and edition, the program's version,
// the database and the data folder in use; its label 透明标签1 ("确  定") closes it.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    AboutWindow(const QString& databaseText, const QString& dataFolder, QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* closeLabel = nullptr;
};
