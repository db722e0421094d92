#include "printingfixture.h"

#include "platform/sqlliteral.h"
#include "printing/templatecodec.h"

int PrintingFixture::addTemplate(const QString& title, const QString& html, int enabled, int order)
{
    execute(QStringLiteral("INSERT INTO dy (nam,xx,dtime,status,sx) values (") + sqlText(title) + QLatin1Char(',')
            + sqlText(encodeTemplateText(html)) + QStringLiteral(",'2013-05-06 14:03:09',") + sqlInteger(enabled)
            + QLatin1Char(',') + sqlInteger(order) + QLatin1Char(')'));
    return lastId(QStringLiteral("dy"));
}

int PrintingFixture::addRegistration(const QVector<QPair<QString, QString>>& columns)
{
    QStringList names, values;
    for (const auto& [name, value] : columns) {
        names << name;
        values << sqlText(value);
    }
    execute(QStringLiteral("INSERT INTO bmb (") + names.join(QLatin1Char(',')) + QStringLiteral(") values (")
            + values.join(QLatin1Char(',')) + QLatin1Char(')'));
    return lastId(QStringLiteral("bmb"));
}

bool waitForDocument(PrintPreviewWindow& window, int timeoutMs)
{
    QSignalSpy loaded(window.browser(), &QWebEngineView::loadFinished);
    return loaded.wait(timeoutMs) && loaded.first().first().toBool();
}
