// The online registration page: what applicants send is stored as the add
// page stores it, and what a public page must refuse is refused.
#include "support/openstate.h"
#include "support/addpageentry.h"

#include "core/lists.h"
#include "form/addpage.h"
#include "photos/photostore.h"
#include "platform/sqlliteral.h"
#include "printing/rendering.h"
#include "printing/templatecodec.h"
#include "platform/messagebox.h"
#include "store/schema.h"
#include "web/guards.h"
#include "web/httpserver.h"
#include "web/requestguard.h"
#include "web/webform.h"
#include "web/webservice.h"
#include "web/webstore.h"
#include "platform/files.h"

#include <QMessageBox>

#include <QBuffer>
#include <QImage>
#include <QPushButton>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QtTest>

#include <sys/socket.h>

namespace {

// The shipped form with bm3 on and two programmes, one with a fee.
void prepare(OpenState& open)
{
    QVERIFY(open.run("UPDATE style SET status=1 WHERE zd='bm3'"));
    QVERIFY(open.addProgramme(30, "会计", 1200, 1));
    QVERIFY(open.addProgramme(70, "烹饪", 900, 2));
    QVERIFY(open.addProgramme(80, "截止", 900, 3, "2001-01-01 00:00:00"));
    ensureCategoryList(open.state);
    ensureProgrammeList(open.state);
    ensureFormItems(open.state);
}

// One applicant as the fields the page sends: column, values.
using Fields = QVector<QPair<QByteArray, QString>>;
const Fields applicant = {{"xm", "王小明"},   {"xb", "男"},         {"nl", " 18 "},    {"mz", "汉族"},
                          {"zj", "11010119900307123X"}, {"lx1", "13800000000"}, {"lx2", "北京路1号"},
                          {"jj", "第一行\r\n第二行"}, {"kz1", "高中"},  {"kz3", "音乐"},   {"kz3", "计算机"},
                          {"bm1", "1"},        {"bm2", "2"},        {"bm3", "1"},      {"bm3", "2"}};

Fields with(Fields fields, const QByteArray& column, const QString& value)
{
    fields.erase(std::remove_if(fields.begin(), fields.end(), [&](const auto& field) { return field.first == column; }),
                 fields.end());
    if (!value.isNull())
        fields << qMakePair(column, value);
    return fields;
}

const QByteArray boundary = "----brenvoTestBoundary7MA4YWxk";

QByteArray multipart(const Fields& fields, const QByteArray& photo = QByteArray())
{
    QByteArray body;
    for (const auto& [name, value] : fields)
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value.toUtf8()
                + "\r\n";
    body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"photo\"; filename=\""
            + (photo.isEmpty() ? QByteArray() : QByteArray("me.png")) + "\"\r\nContent-Type: image/png\r\n\r\n" + photo
            + "\r\n--" + boundary + "--\r\n";
    return body;
}

// A browser of the page: keeps the form cookie and the token of the page
// it was last given.
struct Browser {
    explicit Browser(WebService& service) : service(service) {}
    WebService& service;
    QString address = QStringLiteral("203.0.113.7");
    QByteArray cookie;
    QByteArray token;
    QList<QPair<QByteArray, QByteArray>> headers;  // sent besides the cookie

    WebReply get(const QString& path, const QList<QPair<QByteArray, QByteArray>>& query = {})
    {
        WebRequest request{"GET", path, query, QList<QPair<QByteArray, QByteArray>>{{"Cookie", cookie}} + headers, {}, address};
        return keep(service.handle(request));
    }
    WebReply post(const QString& path, const Fields& fields, const QByteArray& photo = QByteArray())
    {
        Fields sent = fields;
        if (!token.isEmpty())
            sent.prepend(qMakePair(QByteArray("csrf"), QString::fromLatin1(token)));
        WebRequest request{"POST", path, {},
                           QList<QPair<QByteArray, QByteArray>>{{"Content-Type", "multipart/form-data; boundary=" + boundary},
                                                                {"Cookie", cookie}} + headers,
                           multipart(sent, photo), address};
        return keep(service.handle(request));
    }
    WebReply keep(const WebReply& reply)
    {
        for (const auto& [name, value] : reply.headers)
            if (name == "Set-Cookie")
                cookie = value.split(';').first();
        const int at = reply.body.indexOf("name=\"csrf\" value=\"");
        if (at >= 0) {
            const int start = at + 19;
            token = reply.body.mid(start, reply.body.indexOf('"', start) - start);
        }
        return reply;
    }
};

QByteArray headerOf(const WebReply& reply, const QByteArray& name)
{
    for (const auto& [key, value] : reply.headers)
        if (key == name)
            return value;
    return QByteArray();
}

// The query of the receipt a stored send was redirected to.
QList<QPair<QByteArray, QByteArray>> receiptQuery(const WebReply& reply)
{
    QList<QPair<QByteArray, QByteArray>> query;
    const QUrlQuery location(QUrl(QString::fromLatin1(headerOf(reply, "Location"))).query());
    for (const auto& [name, value] : location.queryItems())
        query << qMakePair(name.toLatin1(), value.toLatin1());
    return query;
}

// The registration number a stored send was redirected to.
int receiptNumber(const WebReply& reply)
{
    const auto query = receiptQuery(reply);
    return query.isEmpty() ? 0 : query.first().second.toInt();
}

WebSettings testSettings()
{
    WebSettings settings;
    settings.registrationsPerWindow = 10;
    return settings;
}

QByteArray pngWithAlpha()
{
    QImage image(40, 30, QImage::Format_ARGB32);
    image.fill(QColor(255, 0, 0, 128));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray jpegBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

// A 40 × 30 JPEG whose EXIF orientation (6) says to turn it a quarter to
// the right, as phones store portrait photos.
QByteArray jpegTurnedByExif()
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    const QByteArray bytes = jpegBytes(image);
    const QByteArray exif = QByteArray::fromHex("ffe10022457869660000" "4d4d002a00000008" "0001011200030000000100060000" "00000000");
    return bytes.left(2) + exif + bytes.mid(2);
}

// A small JPEG whose frame header claims width × height.
QByteArray jpegClaiming(int width, int height)
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QByteArray bytes = jpegBytes(image);
    const qsizetype frame = bytes.indexOf("\xff\xc0");
    bytes[frame + 5] = char(height >> 8);
    bytes[frame + 6] = char(height & 0xff);
    bytes[frame + 7] = char(width >> 8);
    bytes[frame + 8] = char(width & 0xff);
    return bytes;
}

// The page served on a socket of its own.
struct RunningServer {
    WebService service;
    WebServer server;
    RunningServer(OpenState& open, const ServerLimits& limits = ServerLimits())
        : service(open.state, testSettings(), false), server(service, limits)
    {
        server.listen(QHostAddress::LocalHost, 0);
    }
    // Sends the bytes on a new connection (the sending side closed after
    // them when halfClose) and gives what came back once the server closed
    // the connection or waitMs passed.
    QByteArray exchange(const QByteArray& request, bool halfClose = false, int waitMs = 1000, bool* closed = nullptr)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server.serverPort());
        if (!socket.waitForConnected(5000))
            return QByteArray();
        socket.write(request);
        socket.flush();
        if (halfClose)
            ::shutdown(int(socket.socketDescriptor()), SHUT_WR);
        QByteArray answer;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < waitMs && socket.state() == QAbstractSocket::ConnectedState) {
            QTest::qWait(5);
            answer += socket.readAll();
        }
        answer += socket.readAll();
        if (closed)
            *closed = socket.state() != QAbstractSocket::ConnectedState;
        return answer;
    }
};

QHash<QString, QString> storedRow(OpenState& open, int id)
{
    QHash<QString, QString> row;
    if (!open.state.db.openShared(QStringLiteral("select * from bmb where id=%1").arg(id)) || open.state.db.shared().atEnd())
        return row;
    const auto& tables = schema::tables();
    const auto bmb = std::find_if(tables.begin(), tables.end(),
                                  [](const schema::Table& table) { return QLatin1String(table.name) == QLatin1String("bmb"); });
    for (const schema::Column& column : bmb->columns)
        row.insert(QString::fromLatin1(column.name), open.state.db.shared().readText(column.name));
    return row;
}

} // namespace

class TestWebPage : public QObject {
    Q_OBJECT
private slots:
    // The page and the add page store the same applicant alike, column by
    // column; the web's registration awaits review and payment, is marked,
    // and its photo is a JPEG in the store linked through imgid.
    void aSentFormIsStoredAsTheAddPageStoresIt()
    {
        OpenState open;
        prepare(open);
        {
            MessageRecorder messages;
            AddPage page(open.state, QSize(800, 600));
            page.prepareForNewRegistration();
            const FormBuilder& form = page.form();
            const QStringList programmeNames{QString(), QStringLiteral("会计"), QStringLiteral("烹饪")};
            for (const auto& [zd, value] : applicant) {
                const QString shown = zd.startsWith("bm") ? programmeNames.at(value.toInt()) : value;
                enterOnAddPage(form, QString::fromLatin1(zd), QString(shown).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
            }
            page.confirmButton()->click();
            QCOMPARE(messages.texts(), QStringList());
        }
        QVERIFY(open.run("UPDATE xx SET pho=1"));
        WebService service(open.state, testSettings(), false);
        Browser browser(service);
        QCOMPARE(browser.get(QStringLiteral("/")).status, 200);
        // The duplicate rule holds on the page too: another 证件号码 and telephone.
        const WebReply sent = browser.post(
            QStringLiteral("/"), with(with(applicant, "zj", QStringLiteral("11010119900307124X")), "lx1", QStringLiteral("13800000001")),
            pngWithAlpha());
        QCOMPARE(sent.status, 303);
        const int number = receiptNumber(sent);
        QVERIFY(number > 1);

        const QHash<QString, QString> desk = storedRow(open, 1);
        const QHash<QString, QString> web = storedRow(open, number);
        for (auto it = desk.begin(); it != desk.end(); ++it) {
            const QString column = it.key();
            if (QStringList{"dtime", "sh", "fk", "ly", "imgid", "zj", "lx1", "savekey"}.contains(column))
                continue;
            QVERIFY2(web.value(column) == it.value(),
                     qPrintable(QStringLiteral("%1: %2 / %3").arg(column, web.value(column), it.value())));
        }
        QCOMPARE(desk.value("jj"), QStringLiteral("第一行\n第二行"));
        QCOMPARE(web.value("bm3"), QStringLiteral("^1^^2^"));
        QCOMPARE((QStringList{web.value("sh"), web.value("fk"), web.value("ly"), desk.value("ly")}),
                 (QStringList{"0", "0", "1", "0"}));
        QCOMPARE(open.value(qPrintable(QStringLiteral("select fj.id from fj where uid=%1").arg(number))), web.value("imgid"));
        const QString photo = open.value(qPrintable(QStringLiteral("select filename from fj where uid=%1").arg(number)));
        QImage stored(localPhotoFile(open.state, photo));
        QCOMPARE(stored.size(), QSize(40, 30));
        QVERIFY(!stored.hasAlphaChannel());

        // The receipt, reached through the redirect only, shows the values as
        // stored and the states; the status page answers number and proof.
        const WebReply receipt = browser.get(QStringLiteral("/receipt"), receiptQuery(sent));
        QCOMPARE(receipt.status, 200);
        const QString page = QString::fromUtf8(receipt.body);
        for (const char* shown : {"会计", "烹饪", "音乐,计算机", "待审核", "待缴费", "<svg"})
            QVERIFY2(page.contains(QString::fromUtf8(shown)), shown);
        QCOMPARE(browser.get(QStringLiteral("/receipt"), {{"n", QByteArray::number(number)}, {"s", "0000"}}).status, 404);

        QCOMPARE(browser.get(QStringLiteral("/status")).status, 200);
        const WebReply found = browser.post(QStringLiteral("/status"), {{"number", QString::number(number)}, {"proof", QStringLiteral(" 13800000001 ")}});
        QVERIFY(found.body.contains("待审核"));
        const WebReply wrong = browser.post(QStringLiteral("/status"), {{"number", QString::number(number)}, {"proof", QStringLiteral("139")}});
        QVERIFY(!wrong.body.contains("待审核"));
        QVERIFY(wrong.body.contains("没有找到这条报名"));
    }

    // What a public page refuses, each with nothing stored where nothing
    // may be: a missing or foreign token, an empty required item (entries
    // kept, the add page's text beside it), a programme past its deadline,
    // a NUL character, a repeated 证件号码 (its photo never decoded, its
    // number never told), and the eleventh send from one address, every
    // send counted whatever became of it.
    void whatThePageRefuses()
    {
        OpenState open;
        prepare(open);
        QVERIFY(open.run("UPDATE xx SET pho=1"));
        WebService service(open.state, testSettings(), false);
        Browser browser(service);
        browser.get(QStringLiteral("/"));
        const auto count = [&] { return open.value("select count(*) from bmb").toInt(); };

        Browser stranger(service);
        stranger.token = browser.token;  // a token copied into another site's form, without the cookie
        QCOMPARE(stranger.post(QStringLiteral("/"), applicant).status, 403);
        Browser tokenless(service);
        tokenless.cookie = browser.cookie;
        QCOMPARE(tokenless.post(QStringLiteral("/"), applicant).status, 403);
        QCOMPARE(count(), 0);

        const WebReply empty = browser.post(QStringLiteral("/"), with(applicant, "xm", QStringLiteral("  ")));
        QCOMPARE(empty.status, 422);
        QVERIFY(empty.body.contains("<p class=\"problem\" id=\"e-xm\">姓名没有填写</p>"));
        QVERIFY(empty.body.contains("value=\"13800000000\""));
        const WebReply late = browser.post(QStringLiteral("/"), with(applicant, "bm1", QStringLiteral("3")));
        QCOMPARE(late.status, 422);
        QVERIFY(late.body.contains("第一志愿没有选择"));
        QVERIFY(!late.body.contains("截止"));
        QCOMPARE(count(), 0);

        const WebReply script = browser.post(QStringLiteral("/"), with(applicant, "xm", QStringLiteral("<script>alert(1)</script>")));
        QCOMPARE(script.status, 303);
        const int first = receiptNumber(script);
        const WebReply receipt = browser.get(QStringLiteral("/receipt"), receiptQuery(script));
        QVERIFY(receipt.body.contains("&lt;script&gt;alert(1)&lt;/script&gt;"));
        QVERIFY(!receipt.body.contains("<script>"));
        QCOMPARE(open.value("select xm from bmb"), QStringLiteral("<script>alert(1)</script>"));
        // And a desk prints it as text.
        QVERIFY(open.run(QStringLiteral("INSERT INTO dy (nam,xx,dtime,status,sx) values ('报名表',")
                         + sqlText(encodeTemplateText(QStringLiteral("<p>[!--xm--]</p>"))) + QStringLiteral(",'2013-05-06 14:03:09',1,1)")));
        QCOMPARE(renderRegistration(open.state, open.value("select max(id) from dy").toInt(), first),
                 QStringLiteral("<p>&lt;script&gt;alert(1)&lt;/script&gt;</p>"));

        // A desk shows the applicant's name as typed, never as markup.
        const auto box = makeMessageBox(QStringLiteral("<img src=\"/local/file\">"), MessageStyle::Exclamation,
                                        QStringLiteral("信息："), nullptr);
        QCOMPARE(box->textFormat(), Qt::PlainText);

        const WebReply nul = browser.post(QStringLiteral("/"), with(applicant, "lx2", QStringLiteral("北京路") + QChar(0)));
        QCOMPARE(nul.status, 422);
        QVERIFY(nul.body.contains("id=\"e-lx2\""));

        const WebReply again = browser.post(QStringLiteral("/"), with(applicant, "xm", QStringLiteral("王小明")), pngWithAlpha().left(60));
        QCOMPARE(again.status, 200);
        QVERIFY(again.body.contains("已有相同信息的报名"));
        QVERIFY(!again.body.contains("报名号"));
        QCOMPARE(count(), 1);

        for (int n = 6; n <= 10; ++n)
            QCOMPARE(browser.post(QStringLiteral("/"), with(with(applicant, "zj", QString::number(n)), "lx1", QString::number(n))).status, 303);
        const WebReply eleventh = browser.post(QStringLiteral("/"), with(with(applicant, "zj", QStringLiteral("11")), "lx1", QStringLiteral("11")));
        QCOMPARE(eleventh.status, 429);
        QCOMPARE(count(), 6);
        browser.address = QStringLiteral("203.0.113.8");
        QCOMPARE(browser.post(QStringLiteral("/"), with(with(applicant, "zj", QStringLiteral("11")), "lx1", QStringLiteral("11"))).status, 303);

        for (const WebReply& reply : {empty, receipt, eleventh})
            QVERIFY(headerOf(reply, "Content-Security-Policy").startsWith("default-src 'none'"));
    }

    void tokensAndLimits()
    {
        const FormTokens tokens(QByteArray("secret"), 60);
        const QDateTime now(QDate(2026, 1, 1), QTime(12, 0));
        const QByteArray token = tokens.make(now);
        QVERIFY(tokens.isValid(token, now.addSecs(60)));
        QVERIFY(!tokens.isValid(token, now.addSecs(61)));
        QVERIFY(!tokens.isValid(token, now.addSecs(-1)));
        QByteArray forged = token;
        forged[0] = forged[0] == '1' ? '2' : '1';
        QVERIFY(!tokens.isValid(forged, now));
        QVERIFY(!FormTokens(QByteArray("other"), 60).isValid(token, now));
        QVERIFY(!tokens.isValid(token.left(token.indexOf('.') + 1), now));
        QVERIFY(!FormTokens().isValid(FormTokens().make(now), now));

        RegistrationLimit limit(2, 600);
        limit.record(QStringLiteral("a"), now);
        limit.record(QStringLiteral("a"), now.addSecs(300));
        QVERIFY(!limit.allows(QStringLiteral("a"), now.addSecs(599)));
        QVERIFY(limit.allows(QStringLiteral("b"), now.addSecs(599)));
        QVERIFY(limit.allows(QStringLiteral("a"), now.addSecs(600)));
    }

    void listenAddresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("any") << "0.0.0.0:8080" << "0.0.0.0" << 8080;
        QTest::newRow("loopback") << "127.0.0.1:80" << "127.0.0.1" << 80;
        QTest::newRow("v6") << "[::1]:8443" << "::1" << 8443;
        QTest::newRow("port only") << ":9000" << "0.0.0.0" << 9000;
        QTest::newRow("no port") << "127.0.0.1" << "" << 0;
        QTest::newRow("port too large") << "127.0.0.1:70000" << "" << 0;
        QTest::newRow("not an address") << "example:80" << "" << 0;
    }

    void listenAddresses()
    {
        QFETCH(QString, text);
        QFETCH(QString, host);
        QFETCH(int, port);
        const auto address = parseListenAddress(text);
        QCOMPARE(address.has_value(), port != 0);
        if (address) {
            QCOMPARE(address->port, quint16(port));
            QCOMPARE(address->host == QHostAddress(QHostAddress::Any) ? QStringLiteral("0.0.0.0") : address->host.toString(), host);
        }
    }

    // The guard follows requests through their headers and bodies, however
    // the bytes arrive, and refuses what the page never sends.
    void requestFraming_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<int>("verdict");
        const int go = int(RequestFraming::Verdict::Continue);
        const int large = int(RequestFraming::Verdict::TooLarge);
        const int refused = int(RequestFraming::Verdict::NotAccepted);
        const QByteArray get = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
        const QByteArray post = "POST / HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=b\r\nContent-Length: 10\r\n\r\n0123456789";
        QTest::newRow("two requests in one chunk") << QList<QByteArray>{get + post + get} << go;
        QTest::newRow("headers split") << QList<QByteArray>{"GET / HTTP/1.1\r\nHo", "st: x\r", "\n\r\n"} << go;
        QTest::newRow("body split, then a large one")
            << QList<QByteArray>{post.left(80), post.mid(80) + "POST / HTTP/1.1\r\nContent-Length: 6291457\r\n\r\n"} << large;
        QTest::newRow("six megabytes exactly") << QList<QByteArray>{"POST / HTTP/1.1\r\nContent-Length: 6291456\r\n\r\n"} << go;
        QTest::newRow("a form over 64 KB")
            << QList<QByteArray>{"POST /status HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: 65537\r\n\r\n"}
            << large;
        QTest::newRow("chunked") << QList<QByteArray>{"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"} << refused;
        QTest::newRow("no number") << QList<QByteArray>{"POST / HTTP/1.1\r\nContent-Length: 1e9\r\n\r\n"} << refused;
        QTest::newRow("endless headers") << QList<QByteArray>{"GET / HTTP/1.1\r\n" + QByteArray(40000, 'x')} << large;
        QTest::newRow("large headers in one read")
            << QList<QByteArray>{"GET / HTTP/1.1\r\nX-A: " + QByteArray(105 * 1024, 'x') + "\r\n\r\n"} << large;
        QTest::newRow("a length in lower case") << QList<QByteArray>{"POST / HTTP/1.1\r\ncontent-length: 6291457\r\n\r\n"} << large;
        QTest::newRow("a folded header")
            << QList<QByteArray>{"POST / HTTP/1.1\r\nX-A: b\r\n Content-Length: 1\r\nContent-Length: 314572800\r\n\r\n"} << refused;
        QTest::newRow("two lengths") << QList<QByteArray>{"POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 1\r\n\r\nx"} << refused;
    }

    void requestFraming()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(int, verdict);
        RequestFraming framing;
        RequestFraming::Verdict last = RequestFraming::Verdict::Continue;
        for (const QByteArray& chunk : chunks)
            if ((last = framing.take(chunk)) != RequestFraming::Verdict::Continue)
                break;
        QCOMPARE(int(last), verdict);
    }

    // Over a real socket: a page is served, and an 8 MB upload is answered
    // 413 at its headers, while most of it is still to come.
    void theServerOverASocket()
    {
        OpenState open;
        RunningServer running(open);
        const auto exchange = [&](const QByteArray& request, qint64 bodyBytes) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, running.server.serverPort());
            if (!socket.waitForConnected(5000))
                return QByteArray();
            socket.write(request);
            QByteArray answer;
            QByteArray chunk(64 * 1024, 'x');
            qint64 sent = 0;
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 10000 && !answer.contains("\r\n\r\n")) {
                if (sent < bodyBytes && socket.bytesToWrite() < 256 * 1024)
                    sent += socket.write(chunk.left(int(qMin<qint64>(chunk.size(), bodyBytes - sent))));
                QTest::qWait(1);
                answer += socket.readAll();
                if (socket.state() != QAbstractSocket::ConnectedState)
                    break;
            }
            return answer;
        };
        const QByteArray page = exchange("GET /style.css HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 0);
        QVERIFY2(page.startsWith("HTTP/1.1 200"), page.left(200).constData());
        QVERIFY(page.contains("Content-Security-Policy"));
        const qint64 eightMegabytes = 8 * 1024 * 1024;
        const QByteArray upload = exchange("POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: multipart/form-data; boundary=b\r\n"
                                           "Content-Length: " + QByteArray::number(eightMegabytes) + "\r\n\r\n",
                                           eightMegabytes);
        QVERIFY2(upload.startsWith("HTTP/1.1 413"), upload.left(200).constData());
    }

    // Each request gets one answer with the page's headers; the connection
    // is closed after it when the client asked for that, spoke HTTP/1.0 or
    // closed its sending side, and kept otherwise.
    void connections_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<bool>("halfClose");
        QTest::addColumn<bool>("closes");
        const QByteArray style = "GET /style.css HTTP/1.1\r\nHost: x\r\n";
        QTest::newRow("kept alive") << style + "\r\n" << false << false;
        QTest::newRow("Connection: close") << style + "Connection: close\r\n\r\n" << false << true;
        QTest::newRow("HTTP/1.0") << QByteArray("GET /style.css HTTP/1.0\r\n\r\n") << false << true;
        QTest::newRow("half-closed") << style + "\r\n" << true << true;
        QTest::newRow("websocket upgrade")
            << style + "Connection: Upgrade\r\nUpgrade: websocket\r\nSec-WebSocket-Version: 13\r\n"
                       "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n"
            << false << false;
    }

    void connections()
    {
        QFETCH(QByteArray, request);
        QFETCH(bool, halfClose);
        QFETCH(bool, closes);
        OpenState open;
        RunningServer running(open);
        bool closed = false;
        const QByteArray answer = running.exchange(request, halfClose, 1000, &closed);
        QCOMPARE(answer.count("HTTP/1.1 "), 1);
        QVERIFY(answer.startsWith("HTTP/1.1 200"));
        QVERIFY(answer.contains("Content-Security-Policy"));
        QCOMPARE(closed, closes);
    }

    // A connection costs its client time: silent, half-sent, idle after an
    // answer or trickling a body, it is closed; one address holds only so
    // many at once.
    void connectionsAreBounded()
    {
        OpenState open;
        ServerLimits limits;
        limits.headerMs = 300;
        limits.idleMs = 300;
        limits.bodyWindowMs = 300;
        limits.minBodyBytes = 1000;
        limits.connectionsPerAddress = 4;
        RunningServer running(open, limits);
        const QList<QByteArray> starts{QByteArray(), "GET / HTTP/1.1\r\nHo", "GET /style.css HTTP/1.1\r\nHost: x\r\n\r\n",
                                       "POST / HTTP/1.1\r\nContent-Length: 100000\r\n\r\nxx"};
        std::vector<std::unique_ptr<QTcpSocket>> sockets;
        for (const QByteArray& start : starts) {
            sockets.push_back(std::make_unique<QTcpSocket>());
            sockets.back()->connectToHost(QHostAddress::LocalHost, running.server.serverPort());
            QVERIFY(sockets.back()->waitForConnected(5000));
            sockets.back()->write(start);
        }
        QVERIFY(running.exchange("GET /style.css HTTP/1.1\r\nHost: x\r\n\r\n").startsWith("HTTP/1.1 503"));
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(sockets.begin(), sockets.end(),
                                             [](const auto& socket) { return socket->state() == QAbstractSocket::UnconnectedState; }),
                                 3000);
        QVERIFY(running.exchange("GET /style.css HTTP/1.1\r\nHost: x\r\n\r\n").startsWith("HTTP/1.1 200"));
    }

    // While a desk holds the database, the stylesheet and the form are
    // served at once; only what needs the database waits for it.
    void aLockedDatabaseStallsNoPage()
    {
        if (testsOnServer())
            QSKIP("a desk's zhao.dat only");
        OpenState open;
        prepare(open);
        RunningServer running(open);
        QVERIFY(running.exchange("GET / HTTP/1.1\r\nHost: x\r\n\r\n").startsWith("HTTP/1.1 200"));
        std::unique_ptr<DbConnection> desk;
        createConnection(desk);
        QVERIFY(desk->openDatabase(connectionStringFor(open.dir.path())));
        std::unique_ptr<RecordSet> none;
        QVERIFY(desk->executeStatement(QStringLiteral("BEGIN EXCLUSIVE"), none));
        QTcpSocket waiting;
        waiting.connectToHost(QHostAddress::LocalHost, running.server.serverPort());
        QVERIFY(waiting.waitForConnected(5000));
        waiting.write("GET /receipt?n=1&s=x HTTP/1.1\r\nHost: x\r\n\r\n");
        QTest::qWait(200);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(running.exchange("GET /style.css HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n").startsWith("HTTP/1.1 200"));
        QVERIFY(running.exchange("GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n").startsWith("HTTP/1.1 200"));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(desk->executeStatement(QStringLiteral("ROLLBACK"), none));
    }

    // Receipt links and form tokens hold across a restart of the page (the
    // secrets are the database's); a database a desk put in place by a
    // rename is opened again, and a link of the one before it shows nothing.
    void theSecretsLiveInTheDatabase()
    {
        if (testsOnServer())
            QSKIP("a desk's zhao.dat only");
        OpenState open;
        prepare(open);
        std::optional<WebService> first(std::in_place, open.state, testSettings(), false);
        Browser browser(*first);
        browser.get(QStringLiteral("/"));
        const WebReply sent = browser.post(QStringLiteral("/"), applicant);
        QCOMPARE(sent.status, 303);
        const auto link = receiptQuery(sent);
        first.reset();

        WebService restarted(open.state, testSettings(), false);
        Browser again(restarted);
        again.cookie = browser.cookie;
        again.token = browser.token;
        QCOMPARE(again.get(QStringLiteral("/receipt"), link).status, 200);
        for (const QByteArray& forged : {QByteArray(), link.at(1).second.left(8)})
            QCOMPARE(again.get(QStringLiteral("/receipt"), {link.at(0), {"s", forged}}).status, 404);
        QCOMPARE(again.post(QStringLiteral("/"), with(with(applicant, "zj", QStringLiteral("2")), "lx1", QStringLiteral("2"))).status, 303);

        OpenState restored;
        prepare(restored);
        QVERIFY(QFile::copy(restored.dir.path() + QStringLiteral("/zhao.dat"), open.dir.path() + QStringLiteral("/restored.dat")));
        QVERIFY(replaceFile(open.dir.path() + QStringLiteral("/restored.dat"), open.dir.path() + QStringLiteral("/zhao.dat")));
        QCOMPARE(again.get(QStringLiteral("/receipt"), link).status, 404);
        QCOMPARE(again.get(QStringLiteral("/")).status, 200);
        const WebReply intoRestored = again.post(QStringLiteral("/"), with(with(applicant, "zj", QStringLiteral("3")), "lx1", QStringLiteral("3")));
        QCOMPARE(intoRestored.status, 303);
        QCOMPARE(receiptNumber(intoRestored), 1);
        QCOMPARE(again.get(QStringLiteral("/receipt"), receiptQuery(intoRestored)).status, 200);
    }

    // A form is taken only from a page of this site; over https, directly
    // or behind the proxy, its cookie is Secure and the browser told to stay
    // on https. Behind the proxy, only an address counts as the client's.
    void whereAFormComesFrom_data()
    {
        QTest::addColumn<QList<QByteArray>>("headers");
        QTest::addColumn<bool>("proxy");
        QTest::addColumn<QByteArray>("laterAddress");  // X-Real-IP of a second send
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("laterStatus");
        QTest::addColumn<bool>("https");
        const QByteArray host = "Host: baoming.test";
        QTest::newRow("same origin") << QList<QByteArray>{host, "Origin: http://baoming.test"} << false << QByteArray() << 303 << 429 << false;
        QTest::newRow("another site") << QList<QByteArray>{host, "Origin: http://evil.test"} << false << QByteArray() << 403 << 403 << false;
        QTest::newRow("another site's page")
            << QList<QByteArray>{host, "Referer: http://evil.test/form.html"} << false << QByteArray() << 403 << 403 << false;
        QTest::newRow("https behind the proxy")
            << QList<QByteArray>{host, "Origin: https://baoming.test", "X-Forwarded-Proto: https"} << true << QByteArray() << 303 << 429 << true;
        QTest::newRow("proxied address") << QList<QByteArray>{host} << true << QByteArray("198.51.100.9") << 303 << 303 << false;
        QTest::newRow("no address") << QList<QByteArray>{host} << true << QByteArray("a, b") << 303 << 429 << false;
    }

    void whereAFormComesFrom()
    {
        QFETCH(QList<QByteArray>, headers);
        QFETCH(bool, proxy);
        QFETCH(QByteArray, laterAddress);
        QFETCH(int, status);
        QFETCH(int, laterStatus);
        QFETCH(bool, https);
        OpenState open;
        prepare(open);
        WebSettings settings = testSettings();
        settings.registrationsPerWindow = 1;
        settings.behindProxy = proxy;
        WebService service(open.state, settings, false);
        Browser browser(service);
        for (const QByteArray& header : headers)
            browser.headers << qMakePair(header.left(header.indexOf(':')), header.mid(header.indexOf(':') + 2));
        const WebReply page = browser.get(QStringLiteral("/"));
        QCOMPARE(headerOf(page, "Set-Cookie").contains("; Secure"), https);
        QCOMPARE(!headerOf(page, "Strict-Transport-Security").isEmpty(), https);
        QCOMPARE(browser.post(QStringLiteral("/"), applicant).status, status);
        if (!laterAddress.isEmpty())
            browser.headers << qMakePair(QByteArray("X-Real-IP"), laterAddress);
        QCOMPARE(browser.post(QStringLiteral("/"), with(with(applicant, "zj", QStringLiteral("2")), "lx1", QStringLiteral("2"))).status, laterStatus);
    }

    // Photos are decoded within a pixel budget and turned upright.
    void uploadedPhotos()
    {
        OpenState open;
        QString problem;
        const QString turned = storeUploadedPhoto(open.state, jpegTurnedByExif(), QDateTime::currentDateTime(), &problem);
        QVERIFY2(!turned.isEmpty(), qPrintable(problem));
        QCOMPARE(QImage(localPhotoFile(open.state, turned)).size(), QSize(30, 40));
        QVERIFY(storeUploadedPhoto(open.state, jpegClaiming(8000, 6000), QDateTime::currentDateTime(), &problem).isEmpty());
        QVERIFY(!storeUploadedPhoto(open.state, jpegClaiming(4000, 3000), QDateTime::currentDateTime(), &problem).isEmpty());
    }

    void programmeCaptions()
    {
        Programme programme;
        programme.name = QStringLiteral("美容%2班");
        programme.xuefei = 1500;
        QCOMPARE(programmeChoiceCaption(programme), QStringLiteral("美容%2班（学费 1500 元）"));
    }
};

BRENVO_TEST(TestWebPage)
#include "test_web.moc"
