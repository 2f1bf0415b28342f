#include "testhttpserver.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtNetwork/QTcpSocket>

TestHttpServer::TestHttpServer(QObject *parent) : QObject(parent)
{
    connect(&FServer, &QTcpServer::newConnection, this, &TestHttpServer::onConnection);
    if (!FServer.listen(QHostAddress::LocalHost, 0))
        qFatal("test server cannot listen: %s", qPrintable(FServer.errorString()));
}

QString TestHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

void TestHttpServer::route(const QByteArray &pathOrUrl, const Response &response)
{
    FRoutes.insert(pathOrUrl, response);
}

int TestHttpServer::countRequests(const QByteArray &pathPart) const
{
    int n = 0;
    for (const auto &r : FLog)
        if (r.target.contains(pathPart))
            ++n;
    return n;
}

void TestHttpServer::onConnection()
{
    while (QTcpSocket *socket = FServer.nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const int end = buffer->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QList<QByteArray> lines = buffer->left(end).split('\n');
            qint64 length = 0;
            for (const QByteArray &line : lines)
                if (line.toLower().startsWith("content-length:"))
                    length = line.mid(15).trimmed().toLongLong();
            if (buffer->size() < end + 4 + length)
                return; // the body is still on its way
            const QByteArray body = buffer->mid(end + 4, length);
            buffer->clear();
            const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
            Request req;
            req.body = body;
            req.method = first.value(0);
            req.target = first.value(1);
            for (int i = 1; i < lines.size(); ++i) {
                const int colon = lines[i].indexOf(':');
                if (colon > 0)
                    req.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
            }
            req.path = req.target.startsWith('/') ? req.target : QUrl(QString::fromLatin1(req.target)).path(QUrl::FullyEncoded).toLatin1();
            FLog.append(req);
            const qsizetype at = FLog.size() - 1;
            if (FDelayMs <= 0) {
                answer(socket, req, at);
                return;
            }
            QPointer<QTcpSocket> later(socket);
            QTimer::singleShot(FDelayMs, this, [this, later, req, at] {
                if (later)
                    answer(later, req, at);
            });
        });
    }
}

void TestHttpServer::answer(QTcpSocket *socket, const Request &req, qsizetype logIndex)
{
    Response resp;
    QByteArray pathOnly = req.path;
    const int q = pathOnly.indexOf('?');
    if (q >= 0)
        pathOnly.truncate(q);
    QByteArray targetOnly = req.target;
    if (const int tq = targetOnly.indexOf('?'); tq >= 0)
        targetOnly.truncate(tq);
    if (FRoutes.contains(req.target))
        resp = FRoutes.value(req.target);
    else if (FRoutes.contains(targetOnly))
        resp = FRoutes.value(targetOnly);
    else if (FRoutes.contains(req.path))
        resp = FRoutes.value(req.path);
    else if (FRoutes.contains(pathOnly))
        resp = FRoutes.value(pathOnly);
    else {
        QFile file(FDir + QString::fromUtf8(QByteArray::fromPercentEncoding(pathOnly)));
        if (!FDir.isEmpty() && QFileInfo(file).isFile() && file.open(QIODevice::ReadOnly)) {
            resp.body = file.readAll();
            resp.contentType = file.fileName().endsWith(".html") ? "text/html" : "application/octet-stream";
        } else if (req.headers.value("accept").startsWith("image/")) {
            // Real sites answer for their pictures; a page whose onerror
            // swaps in another picture would otherwise ask forever.
            resp.contentType = "image/gif";
            resp.body = QByteArray::fromBase64("R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7");
        } else {
            resp.status = 404;
            resp.body = "not found";
            resp.contentType = "text/plain";
        }
    }
    if (resp.hang)
        return; // the socket stays open and silent
    // A conditional request for what has not changed costs a 304, as at real sites.
    for (const auto &h : resp.headers) {
        if (h.first.compare("ETag", Qt::CaseInsensitive) == 0 && !h.second.isEmpty()
            && req.headers.value("if-none-match") == h.second) {
            resp.status = 304;
            resp.body.clear();
        }
    }
    QByteArray out = "HTTP/1.1 " + QByteArray::number(resp.status) + (resp.status < 400 ? " OK" : " Error") + "\r\n";
    out += "Content-Type: " + resp.contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(resp.body.size()) + "\r\n";
    out += "Connection: close\r\n";
    for (const auto &h : resp.headers)
        out += h.first + ": " + h.second + "\r\n";
    out += "\r\n";
    if (req.method != "HEAD")
        out += resp.body;
    if (logIndex >= 0 && logIndex < FLog.size())
        FLog[logIndex].responseBytes = out.size();
    if (resp.cutAfter >= 0 && req.method != "HEAD") {
        // A connection lost on the way: fewer bytes than Content-Length said.
        socket->write(out.left(out.size() - resp.body.size() + resp.cutAfter));
        socket->disconnectFromHost();
        return;
    }
    if (resp.trickleMs > 0 && req.method != "HEAD") {
        const qsizetype first = out.size() - resp.body.size() + qMin<qsizetype>(2048, resp.body.size());
        socket->write(out.left(first));
        QPointer<QTcpSocket> s(socket);
        const QByteArray rest = out.mid(first);
        QTimer::singleShot(resp.trickleMs, socket, [s, rest] {
            if (s) {
                s->write(rest);
                s->disconnectFromHost();
            }
        });
        return;
    }
    socket->write(out);
    socket->disconnectFromHost();
}
