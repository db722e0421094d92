#include "printing/htmlfile.h"

#include "platform/text.h"

#include <QFile>

void writeHtmlFile(const QString& path, const QString& html)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(toGbk(html));
}

QString readHtmlFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? fromGbk(file.readAll()) : QString();
}
