#pragma once
#include <QDialog>

class QLabel;

// The about window: product title, version and edition; its label 透明标签1
// ("确  定") closes it.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* closeLabel = nullptr;
};
