// Holds a directory's lock the way a running program does, until it is
// killed: `directory_locker <directory> <lock file name>` prints "locked"
// once it holds the lock, "refused" when it cannot.
#include "platform/files.h"

#include <QCoreApplication>

#include <cstdio>

#include <unistd.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const DirectoryLock lock = lockDirectory(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    std::puts(lock.lock ? "locked" : "refused");
    std::fflush(stdout);
    for (;;)
        ::pause();
}
