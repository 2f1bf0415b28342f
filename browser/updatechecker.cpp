#include "updatechecker.h"

#include <QtCore/QTimer>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkCookie>
#include <QtNetwork/QNetworkCookieJar>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>

namespace {

// Keeps no cookie and gives none: a site's answer cannot sign the next
// request in either.
class TNoCookies : public QNetworkCookieJar
{
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    QList<QNetworkCookie> cookiesForUrl(const QUrl &) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie> &, const QUrl &) override { return false; }
};

QString hostOf(const QUrl &url)
{
    return url.host().toLower();
}

} // namespace

TUpdateChecker::TUpdateChecker(QObject *parent)
    : QObject(parent)
    , FNet(new QNetworkAccessManager(this))
{
    FNet->setCookieJar(new TNoCookies(FNet));
    // A site asking for a login gets none: nobody answers the manager's
    // authenticationRequired, so the request ends unanswered.
    FNet->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

TUpdateChecker::~TUpdateChecker()
{
    Stop();
}

void TUpdateChecker::SetProxy(const QString &host, quint16 port)
{
    FNet->setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, host, port));
}

void TUpdateChecker::Check(const QList<TJob> &jobs)
{
    for (const TJob &job : jobs) {
        const QString scheme = job.contents.scheme();
        if (job.book.isEmpty() || FAsked.contains(job.book) || (scheme != u"http" && scheme != u"https")
            || job.contents.host().isEmpty())
            continue;
        FAsked.insert(job.book, true);
        FQueue.append(job);
    }
    startMore();
}

void TUpdateChecker::Stop()
{
    FStopping = true;
    FQueue.clear();
    const auto replies = FNet->findChildren<QNetworkReply *>();
    for (QNetworkReply *r : replies) {
        r->disconnect(this);
        r->abort();
        r->deleteLater();
    }
    FPerHost.clear();
    FAsked.clear();
    FRunning = 0;
    FStopping = false;
}

void TUpdateChecker::startMore()
{
    for (qsizetype i = 0; i < FQueue.size() && FRunning < kInAll;) {
        const QString host = hostOf(FQueue[i].contents);
        if (FPerHost.value(host) >= kPerHost) {
            ++i;
            continue;
        }
        const TJob job = FQueue.takeAt(i);
        start(job);
    }
}

void TUpdateChecker::start(const TJob &job)
{
    QUrl url = job.contents;
    url.setUserInfo(QString()); // a name and password in an address are not sent either
    url.setFragment(QString());
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setMaximumRedirectsAllowed(5);
    if (!FUserAgent.isEmpty())
        request.setHeader(QNetworkRequest::UserAgentHeader, FUserAgent);
    request.setRawHeader("Accept", "text/html,application/xhtml+xml;q=0.9,*/*;q=0.5");
    if (!job.etag.isEmpty())
        request.setRawHeader("If-None-Match", job.etag.toLatin1());
    if (!job.lastModified.isEmpty())
        request.setRawHeader("If-Modified-Since", job.lastModified.toLatin1());
    ++FRunning;
    ++FPerHost[hostOf(job.contents)];
    QNetworkReply *reply = FNet->get(request);
    // A page larger than any contents page is cut off, not read to the end.
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64 total) {
        if (received > kMaxBytes || total > kMaxBytes)
            reply->abort();
    });
    // The manager's own timeout counts from the last byte; a site that
    // trickles gets the same limit in all.
    QTimer::singleShot(kTimeoutMs, reply, [reply] { reply->abort(); });
    connect(reply, &QNetworkReply::finished, this, [this, reply, job] { finished(reply, job); });
}

void TUpdateChecker::finished(QNetworkReply *reply, const TJob &job)
{
    reply->deleteLater();
    if (FStopping)
        return;
    --FRunning;
    if (int &n = FPerHost[hostOf(job.contents)]; --n <= 0)
        FPerHost.remove(hostOf(job.contents));
    FAsked.remove(job.book);

    TAnswer answer;
    answer.book = job.book;
    answer.contents = job.contents;
    answer.answeredFrom = reply->url();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError && status == 200) {
        answer.status = 200;
        answer.body = reply->readAll();
        answer.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
        answer.etag = QString::fromLatin1(reply->rawHeader("ETag"));
        answer.lastModified = QString::fromLatin1(reply->rawHeader("Last-Modified"));
    } else if (status == 304) {
        answer.status = 304;
        answer.etag = job.etag;
        answer.lastModified = job.lastModified;
    } else {
        answer.error = reply->errorString();
    }
    emit Answered(answer);
    startMore();
    if (FRunning == 0 && FQueue.isEmpty())
        emit Idle();
}
