#pragma once
// Every statement on the print templates (table dy) and the registration a
// form is printed from, built apart from the windows so each can be checked
// without one.

#include <QDateTime>
#include <QString>

QString templateRowsStatement();
QString enabledTemplatesStatement();
QString templateByIdStatement(int id);
QString insertTemplateStatement(const QString& title, const QString& content, const QDateTime& added, bool enabled,
                                double order);
QString updateTemplateStatement(int id, const QString& title, const QString& content, bool enabled, double order);
QString deleteTemplateStatement(int id);

QString registrationToPrintStatement(int registrationId);
