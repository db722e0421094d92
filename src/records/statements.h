#pragma once
// The statements the edit window runs, built apart from it so each can be
// checked without one.

#include <QString>

QString registrationByIdStatement(int id);
QString registrationCategoryStatement(int id);
