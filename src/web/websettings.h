#pragma once
// The web program's settings: section [web] of duzarizered.ini, and the
// listen address given on the command line.

#include <QHostAddress>
#include <QString>

#include <optional>

struct ListenAddress {
    QHostAddress host;
    quint16 port = 0;
};

// "ADDRESS:PORT", "[v6]:PORT" or ":PORT" (every address); nothing when the
// text names no address or port.
std::optional<ListenAddress> parseListenAddress(const QString& text);

struct WebSettings {
    QString listen = QStringLiteral("0.0.0.0:8080");
    QString certificateFile;   // TLS when both are given
    QString keyFile;
    int registrationsPerWindow = 10;  // per client address
    int windowMinutes = 10;
    bool behindProxy = false;  // the client address is in X-Real-IP, set by the proxy
    int connections = 1000;    // open at once, in all
    int connectionsPerAddress = 64;  // from one client address, unless behind the proxy
};

// [web] listen, certificate, key, limit, limitminutes, proxy, connections,
// connectionsperaddress; the defaults
// above for what is missing.
WebSettings readWebSettings(const QString& iniPath);
