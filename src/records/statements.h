#pragma once
// The statements the edit window runs, built apart from it so each can be
// checked without one.

#include <QString>

QString registrationByIdStatement(int id);

class RecordSet;
// Every stored value of the current row, as one text: two readings of a row
// give the same text exactly when nobody changed it in between.
QString rowFingerprint(const RecordSet& row);
QString registrationCategoryStatement(int id);
