#include "printing/htmlfile.h"

#include "platform/text.h"

#include <QFile>

void writeHtmlFile(const QString& path, const QString& html)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(toGb18030(html));
}

QString readHtmlFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? fromGb18030(file.readAll()) : QString();
}
