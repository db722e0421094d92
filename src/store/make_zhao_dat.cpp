// make_zhao_dat [--if-missing] <path>
// Writes a new zhao.dat with the schema and the seeded rows. An existing file
// is never overwritten: with --if-missing that is success, without it an error.

#include "store/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool ifMissing = args.removeAll(QStringLiteral("--if-missing")) > 0;
    if (args.size() != 1 || args.first().startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "usage: make_zhao_dat [--if-missing] <path>\n");
        return 2;
    }
    const QString path = args.first();
    if (QFileInfo::exists(path)) {
        if (ifMissing)
            return 0;
        std::fprintf(stderr, "make_zhao_dat: %s exists and is not overwritten\n", qPrintable(path));
        return 1;
    }
    const QString directory = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(directory)) {
        std::fprintf(stderr, "make_zhao_dat: cannot create %s\n", qPrintable(directory));
        return 1;
    }
    QString error;
    if (!createShippedDatabase(path, &error)) {
        std::fprintf(stderr, "make_zhao_dat: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("make_zhao_dat: wrote %s\n", qPrintable(path));
    return 0;
}
