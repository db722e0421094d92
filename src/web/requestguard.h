#pragma once
// How the page reads requests off a connection. One reader alone decides
// where a request ends: the request line, the headers and a body of exactly
// Content-Length bytes. Whatever two HTTP readers could take differently
// (folded or malformed header lines, a second Content-Length, chunked
// bodies) is refused, and a request larger than the page ever needs is
// refused at its headers, before its body is held.

#include <QByteArray>
#include <QList>
#include <QPair>

#include <optional>

struct HttpRequest {
    QByteArray method;
    QByteArray target;   // path and query as sent
    QByteArray version;  // HTTP/1.0 or HTTP/1.1
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    QByteArray header(const QByteArray& name) const;
    // HTTP/1.1 without "Connection: close".
    bool keepsAlive() const;
};

class RequestFraming {
public:
    enum class Verdict { Continue, TooLarge, NotAccepted };
    // Takes bytes as they arrive; the verdict of the first request in them
    // that must be refused, or Continue. Complete requests wait in order.
    Verdict take(const QByteArray& bytes);
    // Takes bytes up to the end of the next complete request at most, and
    // tells how many it took; refusals end up in verdict().
    qsizetype takeUntilRequest(const QByteArray& bytes);
    Verdict verdict() const { return refusal; }
    // The oldest complete request, removed from the queue.
    std::optional<HttpRequest> nextRequest();
    bool hasRequest() const { return !complete.isEmpty(); }
    // Between requests, no byte of a next one read yet.
    bool idle() const { return !inBody && headerBytes.isEmpty(); }
    // Inside a body: the bytes still to come, and whether the sender waits
    // for "100 Continue" before it sends them.
    bool readingBody() const { return inBody; }
    bool expectsContinue() const { return inBody && continueExpected; }
    void continueSent() { continueExpected = false; }
    // After a refusal: the bytes of the refused body still to come.
    qint64 refusedBodyToCome() const { return refusedRemaining; }

private:
    Verdict headersEnded(const QByteArray& headers, qsizetype bytesAfter);
    QByteArray headerBytes;  // of the request being read, before its blank line
    HttpRequest current;
    qint64 bodyRemaining = 0;
    bool inBody = false;
    bool continueExpected = false;
    qint64 refusedRemaining = 0;
    Verdict refusal = Verdict::Continue;
    QList<HttpRequest> complete;
};
