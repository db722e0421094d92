#pragma once
// The start page, shown once the program has started: the start picture and
// the links to the help file and the website.

#include <QWidget>

class StartPage : public QWidget {
    Q_OBJECT
public:
    explicit StartPage(const QSize& size);
};
