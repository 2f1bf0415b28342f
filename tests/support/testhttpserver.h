#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtNetwork/QTcpServer>

// A small HTTP server on 127.0.0.1 (ephemeral port) that logs every request,
// so a test can see what the engine fetched. It also answers requests in
// proxy form ("GET http://host/path"), which lets it stand in for real hosts.
class TestHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Response {
        int status = 200;
        QByteArray contentType = "text/html; charset=utf-8";
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        bool hang = false; // never answer (for stop tests)
        int trickleMs = 0; // send the first 2 KiB of the body, the rest this much later
        qsizetype cutAfter = -1; // send this much of the body, then close the connection
    };
    struct Request {
        QByteArray method;
        QByteArray target; // as sent: a path, or an absolute address through a proxy
        QByteArray path;   // the path part only
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;                       // what a POST sent
        qint64 responseBytes = 0; // what was sent back, headers included
    };

    explicit TestHttpServer(QObject *parent = nullptr);

    quint16 port() const { return FServer.serverPort(); }
    QString url(const QString &path) const;

    // A route matches the path, or the whole absolute address of a proxy request.
    void route(const QByteArray &pathOrUrl, const Response &response);
    void route(const QByteArray &pathOrUrl, const QByteArray &html) { route(pathOrUrl, Response{200, "text/html; charset=utf-8", html, {}, false}); }
    // Every answer this much later, as from a distant site.
    void delayAnswers(int ms) { FDelayMs = ms; }
    // Files below dir answer paths that no route takes.
    void serveDirectory(const QString &dir) { FDir = dir; }

    QList<Request> requests() const { return FLog; }
    int countRequests(const QByteArray &pathPart) const;

private:
    void onConnection();
    void answer(class QTcpSocket *socket, const Request &req, qsizetype logIndex);

    QTcpServer FServer;
    QHash<QByteArray, Response> FRoutes;
    QString FDir;
    QList<Request> FLog;
    int FDelayMs = 0;
};
