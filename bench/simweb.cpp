#include "simweb.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtNetwork/QTcpSocket>

#include <memory>

namespace {

// Bodies of the typical size of each kind, made once. Each is harmless where
// it lands: a script or style sheet that is one comment, a picture that is a
// 1x1 GIF followed by padding its decoder never reads.
QByteArray bodyOf(int kind)
{
    static QHash<int, QByteArray> bodies;
    if (bodies.contains(kind))
        return bodies.value(kind);
    const int n = TSimulatedWeb::kinds()[kind].bytes;
    QByteArray head, tail;
    switch (kind) {
    case 0: head = "<!doctype html><title>frame</title><!--"; tail = "-->"; break;
    case 1:
    case 2: head = "/*"; tail = "*/"; break;
    case 3: head = QByteArray::fromBase64("R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7"); break;
    default: break;
    }
    QByteArray body = head + QByteArray(qMax(0, n - int(head.size() + tail.size())), ' ') + tail;
    bodies.insert(kind, body);
    return body;
}

QByteArray withoutQuery(QByteArray target)
{
    if (const int q = target.indexOf('?'); q >= 0)
        target.truncate(q);
    return target;
}

} // namespace

const QList<TSimulatedWeb::Kind> &TSimulatedWeb::kinds()
{
    // Sizes of the order that web measurements give for one response of each
    // kind (the median of its transfer size, rounded).
    static const QList<Kind> k = {
        {"document", "text/html; charset=utf-8", 30 * 1024},
        {"script", "application/javascript", 20 * 1024},
        {"style sheet", "text/css", 10 * 1024},
        {"picture", "image/gif", 12 * 1024},
        {"font", "font/woff2", 25 * 1024},
        {"media", "video/mp4", 256 * 1024},
        {"other", "text/plain", 2 * 1024},
    };
    return k;
}

int TSimulatedWeb::kindOf(const QByteArray &target, const QByteArray &accept, bool hasRange)
{
    const QByteArray path = withoutQuery(QUrl(QString::fromLatin1(target)).path(QUrl::FullyEncoded).toLatin1()).toLower();
    const QByteArray ext = path.mid(path.lastIndexOf('.') + 1);
    static const QHash<QByteArray, int> byExtension = {
        {"html", 0}, {"htm", 0}, {"shtml", 0}, {"php", 0}, {"asp", 0}, {"aspx", 0}, {"jsp", 0},
        {"js", 1}, {"mjs", 1},
        {"css", 2},
        {"png", 3}, {"jpg", 3}, {"jpeg", 3}, {"gif", 3}, {"webp", 3}, {"avif", 3}, {"svg", 3}, {"ico", 3}, {"bmp", 3},
        {"woff", 4}, {"woff2", 4}, {"ttf", 4}, {"otf", 4}, {"eot", 4},
        {"mp4", 5}, {"webm", 5}, {"ogg", 5}, {"ogv", 5}, {"mp3", 5}, {"m4a", 5}, {"wav", 5}, {"flv", 5}, {"swf", 5},
    };
    if (path.contains('.') && byExtension.contains(ext))
        return byExtension.value(ext);
    if (accept.startsWith("text/html"))
        return 0;
    if (accept.startsWith("image/"))
        return 3;
    if (accept.startsWith("text/css"))
        return 2;
    if (hasRange)
        return 5;
    return 6;
}

TSimulatedWeb::TSimulatedWeb(int delayMs, QObject *parent) : QObject(parent), FDelayMs(delayMs)
{
    FLastRequest.start();
    connect(&FServer, &QTcpServer::newConnection, this, &TSimulatedWeb::onConnection);
    if (!FServer.listen(QHostAddress::LocalHost, 0))
        qFatal("the simulated web cannot listen: %s", qPrintable(FServer.errorString()));
}

void TSimulatedWeb::servePage(const QByteArray &address, const QByteArray &html)
{
    FPages.insert(address, html);
}

void TSimulatedWeb::onConnection()
{
    while (QTcpSocket *socket = FServer.nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QList<QByteArray> lines = buffer->left(end).split('\n');
            QHash<QByteArray, QByteArray> headers;
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon > 0)
                    headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
            }
            const qint64 length = headers.value("content-length").toLongLong();
            if (buffer->size() < end + 4 + length)
                return; // the body is still on its way
            buffer->clear();
            const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
            answer(socket, first.value(0), first.value(1), headers);
        });
    }
}

void TSimulatedWeb::answer(QTcpSocket *socket, const QByteArray &method, const QByteArray &target,
                           const QHash<QByteArray, QByteArray> &headers)
{
    FLastRequest.start();
    const auto page = FPages.constFind(withoutQuery(target));
    const bool tunnel = method == "CONNECT"; // nothing here speaks TLS
    const int kind = page != FPages.constEnd() || tunnel ? 0 : kindOf(target, headers.value("accept"), headers.contains("range"));
    QByteArray body = page != FPages.constEnd() ? *page : tunnel ? QByteArray() : bodyOf(kind);
    QByteArray out = (tunnel ? "HTTP/1.1 502 Bad Gateway\r\n" : "HTTP/1.1 200 OK\r\n") + ("Content-Type: " + kinds()[kind].contentType)
        + "\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n";
    if (method != "HEAD")
        out += body;

    ++FTotal.requests;
    FTotal.bytes += out.size();
    Count &k = FByKind[kind];
    ++k.requests;
    k.bytes += out.size();

    if (page != FPages.constEnd()) {
        socket->write(out);
        socket->disconnectFromHost();
        return;
    }
    ++FInFlight;
    QPointer<QTcpSocket> s(socket);
    QTimer::singleShot(FDelayMs, this, [this, s, out] {
        --FInFlight;
        if (s) {
            s->write(out);
            s->disconnectFromHost();
        }
    });
}

void TPlainHttpOnly::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    QUrl url = info.requestUrl();
    if (url.scheme() != QLatin1String("https"))
        return;
    url.setScheme(QStringLiteral("http"));
    url.setHost(url.host() + QStringLiteral(".tls.test"));
    url.setPort(-1);
    info.redirect(url);
}
