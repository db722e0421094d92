#pragma once
// The pages the applicant's browser shows, as HTML texts: made for a phone
// screen first, usable without JavaScript, every value escaped.

#include "web/webform.h"

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

// Text made safe inside an element or a double-quoted attribute.
QString html(const QString& text);

struct FormPageView {
    WebForm form;
    QHash<QString, QStringList> entered;  // by column, what the applicant sent before
    QHash<QString, QString> problems;     // by column, the text shown beside the field
    QString notice;                       // a message above the form; empty for none
    QByteArray token;
};
QByteArray formPage(const FormPageView& view);

struct ReceiptView {
    QString unitName;
    int number = 0;
    QVector<QPair<QString, QString>> values;  // caption, the value as stored and shown at the desks
    QString review;
    QString payment;
    QString qrSvg;
};
QByteArray receiptPage(const ReceiptView& view);

struct StatusView {
    QString unitName;
    QByteArray token;
    QString number;  // as entered
    QString proof;   // 证件号码 or 联系电话 as entered
    QString problem;
    bool found = false;
    QString review;
    QString payment;
};
QByteArray statusPage(const StatusView& view);

// A page saying one thing, for refusals and failures.
QByteArray messagePage(const QString& unitName, const QString& title, const QString& text);

// The page's own stylesheet.
QByteArray styleSheet();
