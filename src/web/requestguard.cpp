#include "web/requestguard.h"

#include "web/webservice.h"

namespace {

// Request line and headers larger than this are no browser's, however they
// arrive.
constexpr qsizetype maxHeaderBytes = 32 * 1024;

bool isToken(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text)
        if (!(QChar::isLetterOrNumber(uchar(c)) && uchar(c) < 128) && !QByteArray("!#$%&'*+-.^_`|~").contains(c))
            return false;
    return true;
}

bool isDigits(const QByteArray& text)
{
    if (text.isEmpty() || text.size() > 18)
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

QByteArray HttpRequest::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return QByteArray();
}

bool HttpRequest::keepsAlive() const
{
    if (version != "HTTP/1.1")
        return false;
    for (const QByteArray& option : header("Connection").split(','))
        if (option.trimmed().compare("close", Qt::CaseInsensitive) == 0)
            return false;
    return true;
}

RequestFraming::Verdict RequestFraming::take(const QByteArray& bytes)
{
    qsizetype at = 0;
    while (at < bytes.size() && refusal == Verdict::Continue) {
        at += takeUntilRequest(bytes.mid(at));
        while (nextRequest()) {
        }
    }
    return refusal;
}

qsizetype RequestFraming::takeUntilRequest(const QByteArray& bytes)
{
    qsizetype at = 0;
    while (at < bytes.size() && refusal == Verdict::Continue) {
        if (inBody) {
            const qsizetype taken = qsizetype(qMin<qint64>(bodyRemaining, bytes.size() - at));
            current.body += bytes.mid(at, taken);
            bodyRemaining -= taken;
            at += taken;
            if (bodyRemaining > 0)
                continue;
            inBody = false;
            complete << std::exchange(current, HttpRequest());
            return at;
        }
        // Blank lines before a request line are allowed and skipped.
        if (headerBytes.isEmpty() && (bytes.at(at) == '\r' || bytes.at(at) == '\n')) {
            ++at;
            continue;
        }
        const qsizetype before = headerBytes.size();
        headerBytes += bytes.mid(at, maxHeaderBytes + 4);
        const qsizetype end = headerBytes.indexOf("\r\n\r\n", qMax<qsizetype>(0, before - 3));
        if (end < 0 || end > maxHeaderBytes) {
            if (end > maxHeaderBytes || headerBytes.size() > maxHeaderBytes)
                refusal = Verdict::TooLarge;
            return bytes.size();
        }
        at += end + 4 - before;
        const QByteArray headers = headerBytes.left(end);
        headerBytes.clear();
        refusal = headersEnded(headers, bytes.size() - at);
        if (refusal == Verdict::Continue && !inBody) {
            complete << std::exchange(current, HttpRequest());
            return at;
        }
    }
    return at;
}

RequestFraming::Verdict RequestFraming::headersEnded(const QByteArray& headers, qsizetype bytesAfter)
{
    const QList<QByteArray> lines = headers.split('\n');
    const QList<QByteArray> requestLine = lines.first().chopped(lines.first().endsWith('\r') ? 1 : 0).split(' ');
    if (requestLine.size() != 3 || !isToken(requestLine.at(0)) || requestLine.at(1).isEmpty()
        || (requestLine.at(2) != "HTTP/1.1" && requestLine.at(2) != "HTTP/1.0"))
        return Verdict::NotAccepted;
    current.method = requestLine.at(0);
    current.target = requestLine.at(1);
    current.version = requestLine.at(2);
    QList<QByteArray> lengths;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        // Every line ends in CR LF; a line starting with a blank would
        // continue the one before (folding), which readers take differently.
        const QByteArray& line = lines.at(i);
        if (!line.endsWith('\r') && i + 1 < lines.size())
            return Verdict::NotAccepted;
        const QByteArray text = line.endsWith('\r') ? line.chopped(1) : line;
        const qsizetype colon = text.indexOf(':');
        if (colon <= 0 || !isToken(text.left(colon)) || text.contains('\r'))
            return Verdict::NotAccepted;
        const QByteArray name = text.left(colon);
        const QByteArray value = text.mid(colon + 1).trimmed();
        if (name.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0)
            return Verdict::NotAccepted;
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
            lengths << value;
        current.headers << qMakePair(name, value);
    }
    if (lengths.size() > 1 || (lengths.size() == 1 && !isDigits(lengths.first())))
        return Verdict::NotAccepted;
    const qint64 length = lengths.isEmpty() ? 0 : lengths.first().toLongLong();
    const bool plainForm = current.header("Content-Type").toLower().startsWith("application/x-www-form-urlencoded");
    if (length > maxRequestBytes || (plainForm && length > maxFormBytes)) {
        refusedRemaining = length - bytesAfter;
        return Verdict::TooLarge;
    }
    bodyRemaining = length;
    inBody = length > 0;
    continueExpected = inBody && current.header("Expect").compare("100-continue", Qt::CaseInsensitive) == 0;
    return Verdict::Continue;
}

std::optional<HttpRequest> RequestFraming::nextRequest()
{
    if (complete.isEmpty())
        return std::nullopt;
    return complete.takeFirst();
}
