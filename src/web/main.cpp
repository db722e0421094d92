// brenvo-web: the online registration page. Serves the registration form to
// applicants and stores what they send as registrations awaiting review, in
// the database the desks use.

#include "app/datafolder.h"
#include "app/datasafety.h"
#include "platform/files.h"
#include "web/httpserver.h"
#include "web/webservice.h"
#include "web/websettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSslKey>

#include <cstdio>

namespace {

// Standard error: the journal under systemd.
void logLine(const QString& text)
{
    std::fprintf(stderr, "brenvo-web: %s\n", text.toLocal8Bit().constData());
}

// Failures go to the log, never to a page.
class LogReporter : public Reporter {
public:
    void showResult(const QString&) override {}
    int showMessage(const QString& text, int, const QString&) override
    {
        logLine(text);
        return 0;
    }
};

bool secure(const WebSettings& settings)
{
    return !settings.certificateFile.isEmpty() && !settings.keyFile.isEmpty();
}

int fail(const QString& text)
{
    logLine(text);
    return 1;
}

std::optional<QSslConfiguration> tlsConfiguration(const WebSettings& settings, QString* error)
{
    QFile certificateFile(settings.certificateFile);
    QFile keyFile(settings.keyFile);
    if (!certificateFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the certificate %1 or the key %2").arg(settings.certificateFile, settings.keyFile);
        return std::nullopt;
    }
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certificateFile.readAll(), QSsl::Pem);
    const QByteArray keyBytes = keyFile.readAll();
    QSslKey key(keyBytes, QSsl::Rsa, QSsl::Pem);
    if (key.isNull())
        key = QSslKey(keyBytes, QSsl::Ec, QSsl::Pem);
    if (chain.isEmpty() || key.isNull()) {
        *error = QStringLiteral("the certificate %1 or the key %2 is not PEM").arg(settings.certificateFile, settings.keyFile);
        return std::nullopt;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return configuration;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brenvo-web"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Online registration page of Brenvo"));
    parser.addHelpOption();
    const QCommandLineOption listenOption(QStringLiteral("listen"), QStringLiteral("Address and port to listen on."),
                                          QStringLiteral("ADDRESS:PORT"));
    const QCommandLineOption dataOption(QStringLiteral("data"), QStringLiteral("The data folder the desks use."),
                                        QStringLiteral("DIR"));
    parser.addOptions({listenOption, dataOption});
    parser.process(app);

    const DataFolderFacts facts = currentDataFolderFacts(parser.value(dataOption));
    const QString folder = chooseDataFolder(facts);
    QString error;
    if (!prepareDataFolder(facts, folder, &error))
        return fail(error);

    AppState state;
    LogReporter reporter;
    state.reporter = &reporter;
    state.programDir = folder;
    state.iniPath = state.programFile(QStringLiteral("duzarizered.ini"));
    state.serverConnection = serverConnectionSetting(state.iniPath);
    const WebSettings settings = readWebSettings(state.iniPath);
    const QString listenText = parser.isSet(listenOption) ? parser.value(listenOption) : settings.listen;
    const std::optional<ListenAddress> address = parseListenAddress(listenText);
    if (!address)
        return fail(QStringLiteral("not an ADDRESS:PORT to listen on: %1").arg(listenText));

    if (state.serverConnection.isEmpty() && !QFileInfo::exists(state.programFile(QStringLiteral("zhao.dat"))))
        return fail(QStringLiteral("数据库不存在: %1").arg(state.programFile(QStringLiteral("zhao.dat"))));
    if (!createConnection(state.db.connection) || !createRecordSet(state.db.sharedRecordSet))
        return fail(QStringLiteral("cannot create a database connection"));
    const bool opened = state.serverConnection.isEmpty()
                            ? state.db.connection->openDatabase(connectionStringFor(state.programDir))
                            : state.db.connection->openServer(state.serverConnection);
    if (!opened)
        return fail(state.db.lastErrorForOperator());

    WebService service(state, settings, secure(settings));
    // The secrets and the form are read before the first applicant comes.
    service.refreshForm();
    ServerLimits limits;
    // Room is left for the database, the photos and the log.
    limits.connections = qMax(1, qMin(settings.connections, openFileLimit() - 64));
    limits.connectionsPerAddress = settings.behindProxy ? 0 : settings.connectionsPerAddress;
    WebServer server(service, limits);
    if (secure(settings)) {
        const std::optional<QSslConfiguration> tls = tlsConfiguration(settings, &error);
        if (!tls)
            return fail(error);
        server.setTls(*tls);
    }
    if (!server.listen(address->host, address->port))
        return fail(QStringLiteral("cannot listen on %1: %2").arg(listenText, server.errorString()));
    logLine(QStringLiteral("serving %1 on %2://%3:%4")
                .arg(folder, secure(settings) ? QStringLiteral("https") : QStringLiteral("http"),
                     server.serverAddress().toString(), QString::number(server.serverPort())));
    return app.exec();
}
