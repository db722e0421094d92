#pragma once
// What every test executable shares: registration of test classes into one
// executable per subsystem, and a temporary program directory with a fresh
// database.

#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

using TestFactory = std::function<std::unique_ptr<QObject>()>;
std::vector<TestFactory>& registeredTests();

template <typename T>
struct TestRegistrar {
    TestRegistrar() { registeredTests().push_back([] { return std::make_unique<T>(); }); }
};

#define BRENVO_TEST(Class) static TestRegistrar<Class> registrar_##Class;

// True when this run keeps the test databases on the PostgreSQL test server
// (BRENVO_TEST_ENGINE=postgres) instead of a zhao.dat of their own.
bool testsOnServer();

// Skips a test function that checks the zhao.dat file itself in a run on the server.
#define BRENVO_SKIP_ON_SERVER(why)                                                                                \
    do {                                                                                                        \
        if (testsOnServer())                                                                                    \
            QSKIP(why);                                                                                         \
    } while (false)

// A program directory of its own with a newly shipped zhao.dat, removed at the end.
class TestProgramDir {
public:
    explicit TestProgramDir(bool withDatabase = true);
    QString path() const { return dir.path(); }
    QString file(const QString& name) const { return dir.filePath(name); }
    QString databasePath() const { return file(QStringLiteral("zhao.dat")); }

private:
    QTemporaryDir dir;
};

// The pages of a finished PDF file (its page objects, not the page tree), or
// -1 while it is still being written or cannot be read.
int finishedPdfPages(const QString& path);
