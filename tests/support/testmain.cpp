// Runs every test class registered into this executable; fails when any fails.
// Test functions named on the command line run in the classes that have them.
#include "support/pgtestdatabase.h"
#include "support/testsupport.h"

#ifdef BRENVO_TEST_WIDGETS
#include <QApplication>
#else
#include <QCoreApplication>
#endif
#include <QMetaMethod>
#include <QtTest>

namespace {

bool hasTestFunction(const QObject& test, const QByteArray& name)
{
    const QMetaObject* meta = test.metaObject();
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
        if (meta->method(i).name() == name)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef BRENVO_TEST_WIDGETS
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif

    if (testsOnServer() && qEnvironmentVariableIsEmpty("BRENVO_TEST_PG")) {
        qInfo("%s", qPrintable(TestPgDatabase::skipReason()));
        return 0;
    }

    QList<QByteArray> options;
    QList<QByteArray> functions;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        (arg.startsWith('-') || (!options.isEmpty() && options.last() == "-o") ? options : functions) << arg;
    }

    int failed = 0;
    for (const TestFactory& make : registeredTests()) {
        std::unique_ptr<QObject> test = make();
        QList<QByteArray> args{argv[0]};
        args += options;
        for (const QByteArray& function : functions)
            if (hasTestFunction(*test, function.split(':').first()))
                args << function;
        if (!functions.isEmpty() && args.size() == options.size() + 1)
            continue;
        std::vector<char*> pointers;
        for (QByteArray& arg : args)
            pointers.push_back(arg.data());
        failed += QTest::qExec(test.get(), int(pointers.size()), pointers.data()) != 0 ? 1 : 0;
    }
    return failed == 0 ? 0 : 1;
}
