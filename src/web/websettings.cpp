#include "web/websettings.h"

#include "platform/inifile.h"

std::optional<ListenAddress> parseListenAddress(const QString& text)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        return std::nullopt;
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
        return std::nullopt;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    ListenAddress address{host.isEmpty() ? QHostAddress(QHostAddress::Any) : QHostAddress(host), quint16(port)};
    if (address.host.isNull())
        return std::nullopt;
    return address;
}

WebSettings readWebSettings(const QString& iniPath)
{
    const QString section = QStringLiteral("web");
    WebSettings settings;
    settings.listen = readIniValue(iniPath, QStringLiteral("listen"), settings.listen, section).trimmed();
    settings.certificateFile = readIniValue(iniPath, QStringLiteral("certificate"), QString(), section).trimmed();
    settings.keyFile = readIniValue(iniPath, QStringLiteral("key"), QString(), section).trimmed();
    settings.registrationsPerWindow =
        qMax(1, readIniInteger(iniPath, QStringLiteral("limit"), settings.registrationsPerWindow, section));
    settings.windowMinutes = qMax(1, readIniInteger(iniPath, QStringLiteral("limitminutes"), settings.windowMinutes, section));
    settings.behindProxy = readIniInteger(iniPath, QStringLiteral("proxy"), 0, section) == 1;
    settings.connections = qMax(1, readIniInteger(iniPath, QStringLiteral("connections"), settings.connections, section));
    settings.connectionsPerAddress =
        qMax(1, readIniInteger(iniPath, QStringLiteral("connectionsperaddress"), settings.connectionsPerAddress, section));
    return settings;
}
