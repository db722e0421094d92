#pragma once
// Every statement the form designer runs, built apart from its window so
// each can be checked without one.

#include <QString>

#include <optional>

struct StyleRowChanges {
    int id = 0;
    QString nam;
    int lx = 0;
    QString val;
    bool required = false;
    QString yz;
    QString order;  // written as typed
    QString ts;
    bool enabled = false;
};
// None when the order is not a number (isPlainNumber), as it stands unquoted.
std::optional<QString> updateStyleStatement(const StyleRowChanges& row);
QString enableStyleStatement(int id);
QString styleRowsStatement();
QString unusedStyleItemsStatement();
QString multiLocationStatement(bool enabled);
