#include "support/testsupport.h"

#include "store/schema.h"

#include <QtTest>

std::vector<TestFactory>& registeredTests()
{
    static std::vector<TestFactory> tests;
    return tests;
}

TestProgramDir::TestProgramDir(bool withDatabase)
{
    if (!dir.isValid())
        qFatal("cannot create a temporary program directory");
    QString error;
    if (withDatabase && !createShippedDatabase(databasePath(), &error))
        qFatal("cannot create the test database: %s", qPrintable(error));
}
