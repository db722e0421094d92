#pragma once
// Reads back what a written .xlsx holds, through unzip and the XML parts:
// cell texts by reference, each cell's style, column widths, the sheet name.

#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QXmlStreamReader>

struct CellStyle {
    int numberFormat = -1;
    bool bold = false;
    double fontSize = 0;
    QString border;  // the style of the four sides, when they agree
    QString horizontal;
    QString vertical;
};

struct WorkbookContents {
    QString sheetName;
    QMap<QString, QString> cells;     // "A1" -> text
    QMap<QString, QString> cellTypes; // "A1" -> t attribute ("s" = shared text)
    QMap<QString, CellStyle> styles;  // "A1" -> its style
    QMap<int, double> columnWidths;   // 1-based column -> stored width
    bool valid = false;
};

inline QByteArray workbookPart(const QString& path, const char* part)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QString::fromLatin1(part)});
    unzip.waitForFinished(10000);
    return unzip.exitCode() == 0 ? unzip.readAllStandardOutput() : QByteArray();
}

inline WorkbookContents readWorkbook(const QString& path)
{
    WorkbookContents contents;
    const QByteArray sheet = workbookPart(path, "xl/worksheets/sheet1.xml");
    if (sheet.isEmpty())
        return contents;
    contents.valid = true;

    QStringList shared;
    for (QXmlStreamReader xml(workbookPart(path, "xl/sharedStrings.xml")); !xml.atEnd();)
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("si"))
            shared << xml.readElementText(QXmlStreamReader::IncludeChildElements);

    QVector<std::pair<bool, double>> fonts;
    QStringList borders;
    QVector<CellStyle> formats;
    QString section;
    for (QXmlStreamReader xml(workbookPart(path, "xl/styles.xml")); !xml.atEnd();) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = xml.name();
        const auto attributes = xml.attributes();
        if (name == QLatin1String("fonts") || name == QLatin1String("borders") || name == QLatin1String("cellXfs")
            || name == QLatin1String("cellStyleXfs"))
            section = name.toString();
        else if (section == QLatin1String("fonts") && name == QLatin1String("font"))
            fonts.push_back({false, 0});
        else if (section == QLatin1String("fonts") && name == QLatin1String("b"))
            fonts.last().first = true;
        else if (section == QLatin1String("fonts") && name == QLatin1String("sz"))
            fonts.last().second = attributes.value(QLatin1String("val")).toDouble();
        else if (section == QLatin1String("borders") && name == QLatin1String("border"))
            borders << QString();
        else if (section == QLatin1String("borders")
                 && (name == QLatin1String("left") || name == QLatin1String("right") || name == QLatin1String("top")
                     || name == QLatin1String("bottom"))) {
            const QString side = attributes.value(QLatin1String("style")).toString();
            QString& border = borders.last();
            border = name == QLatin1String("left") ? side : (border == side ? border : QStringLiteral("mixed"));
        } else if (section == QLatin1String("cellXfs") && name == QLatin1String("xf")) {
            CellStyle style;
            style.numberFormat = attributes.value(QLatin1String("numFmtId")).toInt();
            const auto font = fonts.value(attributes.value(QLatin1String("fontId")).toInt());
            style.bold = font.first;
            style.fontSize = font.second;
            style.border = borders.value(attributes.value(QLatin1String("borderId")).toInt());
            formats.push_back(style);
        } else if (section == QLatin1String("cellXfs") && name == QLatin1String("alignment")) {
            formats.last().horizontal = attributes.value(QLatin1String("horizontal")).toString();
            formats.last().vertical = attributes.value(QLatin1String("vertical")).toString();
        }
    }

    for (QXmlStreamReader xml(sheet); !xml.atEnd();) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto attributes = xml.attributes();
        if (xml.name() == QLatin1String("col")) {
            const int first = attributes.value(QLatin1String("min")).toInt();
            const int last = attributes.value(QLatin1String("max")).toInt();
            for (int column = first; column <= last; ++column)
                contents.columnWidths[column] = attributes.value(QLatin1String("width")).toDouble();
        } else if (xml.name() == QLatin1String("c")) {
            const QString ref = attributes.value(QLatin1String("r")).toString();
            const QString type = attributes.value(QLatin1String("t")).toString();
            contents.styles[ref] = formats.value(attributes.value(QLatin1String("s")).toInt());
            contents.cellTypes[ref] = type;
            QString text;
            while (xml.readNextStartElement())
                if (xml.name() == QLatin1String("v"))
                    text = xml.readElementText();
                else
                    xml.skipCurrentElement();
            contents.cells[ref] = type == QLatin1String("s") ? shared.value(text.toInt()) : text;
        }
    }

    for (QXmlStreamReader xml(workbookPart(path, "xl/workbook.xml")); !xml.atEnd();)
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("sheet"))
            contents.sheetName = xml.attributes().value(QLatin1String("name")).toString();
    return contents;
}
