#pragma once
// Every statement the programme and category pages run, built apart from
// their windows so each can be checked without one.

#include <QString>

struct CategoryValues {
    QString name;
    double order = 0;
    bool enabled = false;
    QString description;
};

struct ProgrammeValues {
    int categoryServerId = 0;  // serplaid
    QString name;
    double fee = 0;
    double quota = 0;
    QString deadline;      // as deadlineForStatement gives it
    QString summary;       // yjh
    QString introduction;  // jieshao
    double order = 0;
    bool enabled = false;
    int categoryId = 0;    // ddid
};

QString categoryRowsStatement();
// The category selector of the programme page; its text differs from the
// category page's by one blank, kept as the stored statements have it.
QString categoryChoicesStatement();
QString categoryServerIdStatement(int categoryId);
QString insertCategoryStatement(const CategoryValues& values);
QString updateCategoryStatement(int id, const CategoryValues& values);
QString deleteCategoryStatement(int id);

QString programmeRowsStatement();
QString insertProgrammeStatement(const ProgrammeValues& values);
QString updateProgrammeStatement(int id, const ProgrammeValues& values);
QString deleteProgrammeStatement(int id);
