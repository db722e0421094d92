#include "support/testsupport.h"

#include "store/schema.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

std::vector<TestFactory>& registeredTests()
{
    static std::vector<TestFactory> tests;
    return tests;
}

bool testsOnServer()
{
    return qEnvironmentVariable("BRENVO_TEST_ENGINE") == QLatin1String("postgres");
}

TestProgramDir::TestProgramDir(bool withDatabase)
{
    if (!dir.isValid())
        qFatal("cannot create a temporary program directory");
    QString error;
    if (withDatabase && !createShippedDatabase(databasePath(), &error))
        qFatal("cannot create the test database: %s", qPrintable(error));
}

int finishedPdfPages(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray pdf = file.readAll();
    if (!pdf.trimmed().endsWith("%%EOF"))
        return -1;
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
    return int(QString::fromLatin1(pdf).count(page));
}
