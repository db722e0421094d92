#pragma once
// The small window that shows how far an export has got: a status text, a
// bar that grows to 258 pixels, the percentage and, at the end, a close
// button. It deletes itself when closed.

#include <QWidget>

class QLabel;
class QPushButton;

class ExportProgressWindow : public QWidget {
    Q_OBJECT
public:
    explicit ExportProgressWindow(QWidget* parent = nullptr);

    void setStatusText(const QString& text);
    void setBarWidth(int width);
    int barWidth() const;
    void setPercentText(const QString& text);
    void showCloseButton();

private:
    QLabel* title = nullptr;
    QLabel* bar = nullptr;
    QLabel* percent = nullptr;
    QPushButton* closeButton = nullptr;
};
