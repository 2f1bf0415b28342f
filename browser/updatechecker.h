#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// Asks sites for books' contents pages in the background, on its own
// connections: never the engine's, so never with the reader's cookies, a
// login or a paid chapter bought on the way; no script runs, no picture or
// other part of the page is fetched, nothing enters any history.
class TUpdateChecker : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPerHost = 2;     // requests to one host at a time
    static constexpr int kInAll = 6;       // and in all
    static constexpr int kTimeoutMs = 15000;
    static constexpr qint64 kMaxBytes = 16 * 1024 * 1024; // a contents page larger than this is none

    struct TJob {
        QString book;   // the history's key of the book
        QUrl contents;  // where its chapters are listed
        QString etag, lastModified; // from the last answer for this address, if any
    };
    struct TAnswer {
        QString book;
        QUrl contents;
        QUrl answeredFrom; // where the page came from after redirects: its links are relative to it
        int status = 0; // 200, 304, or 0 when nothing usable came
        QByteArray body, contentType;
        QString etag, lastModified;
        QString error;
    };

    explicit TUpdateChecker(QObject *parent = nullptr);
    ~TUpdateChecker() override;

    // A browser's name for the requests: sites turn away other names.
    void SetUserAgent(const QByteArray &agent) { FUserAgent = agent; }
    // Requests go through this HTTP proxy (tests and benchmarks stand in for
    // real sites with it); none: the system's.
    void SetProxy(const QString &host, quint16 port);

    // Queued; a book already queued or being asked is not asked twice.
    void Check(const QList<TJob> &jobs);
    // Everything queued or running given up, without answers.
    void Stop();
    int Pending() const { return int(FQueue.size()) + FRunning; }

signals:
    void Answered(const TUpdateChecker::TAnswer &answer);
    void Idle(); // the last answer of a round is out

private:
    void startMore();
    void start(const TJob &job);
    void finished(QNetworkReply *reply, const TJob &job);

    QNetworkAccessManager *FNet;
    QList<TJob> FQueue;
    QHash<QString, int> FPerHost;
    QHash<QString, bool> FAsked; // books queued or running
    int FRunning = 0;
    bool FStopping = false;
    QByteArray FUserAgent;
};
