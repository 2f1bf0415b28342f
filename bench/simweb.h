#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QElapsedTimer>
#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtNetwork/QTcpServer>
#include <QtWebEngineCore/QWebEngineUrlRequestInterceptor>

// A simulated web behind an HTTP proxy on 127.0.0.1. The pages given to it are
// answered at once; every other request is answered after a fixed delay with
// a body of the size typical for its kind, so that what a reading mode lets
// the engine fetch costs what it would cost on the web.
class TSimulatedWeb : public QObject
{
    Q_OBJECT

public:
    struct Kind {
        const char *name;
        QByteArray contentType;
        int bytes;
    };
    // document, script, style sheet, picture, font, media, other (in this order)
    static const QList<Kind> &kinds();
    // The kind of a request, from its address and what it accepts.
    static int kindOf(const QByteArray &target, const QByteArray &accept, bool hasRange);

    explicit TSimulatedWeb(int delayMs, QObject *parent = nullptr);

    quint16 port() const { return FServer.serverPort(); }
    // A page of its own: answered at once at this address (the query aside).
    void servePage(const QByteArray &address, const QByteArray &html);

    struct Count {
        int requests = 0;
        qint64 bytes = 0; // sent back, headers included
    };
    Count total() const { return FTotal; }
    Count ofKind(int kind) const { return FByKind.value(kind); }
    int inFlight() const { return FInFlight; }
    // Milliseconds since the last request arrived.
    qint64 quietFor() const { return FLastRequest.elapsed(); }

private:
    void onConnection();
    void answer(class QTcpSocket *socket, const QByteArray &method, const QByteArray &target,
                const QHash<QByteArray, QByteArray> &headers);

    QTcpServer FServer;
    int FDelayMs;
    QHash<QByteArray, QByteArray> FPages;
    Count FTotal;
    QHash<int, Count> FByKind;
    int FInFlight = 0;
    QElapsedTimer FLastRequest;
};

// The simulated web speaks no TLS: an https address is asked for over http,
// under a host name of its own (www.example.com becomes
// www.example.com.tls.test), which no engine upgrades back to https.
class TPlainHttpOnly : public QWebEngineUrlRequestInterceptor
{
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;
};
