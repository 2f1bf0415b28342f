#include "ownpages.h"

#include <QtCore/QBuffer>
#include <QtCore/QCoreApplication>
#include <QtCore/QHash>
#include <QtCore/QList>
#include "ownrequests.h"

#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineCore/QWebEngineUrlRequestJob>
#include <QtWebEngineCore/QWebEngineUrlScheme>
#include <QtWebEngineCore/QWebEngineUrlSchemeHandler>

#include <optional>

namespace OwnPages {
namespace {

// Serves the documents from memory: unlike QWebEnginePage::setHtml there is
// no size limit. Going back to an earlier own document shows the latest: an
// old start page would carry command links whose positions no longer name
// the same entries.
class TDocSchemeHandler : public QWebEngineUrlSchemeHandler
{
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    QUrl put(const QString &kind, int viewId, quint64 serial, const QByteArray &html)
    {
        if (kind == QLatin1String("doc")) {
            FDocs.insert(viewId, html);
        } else {
            const QString key = QStringLiteral("%1/%2").arg(viewId).arg(serial);
            FErrors.insert(key, html);
            FErrorOrder.append(key);
            while (FErrorOrder.size() > kKeptErrorPages)
                FErrors.remove(FErrorOrder.takeFirst());
        }
        // An absolute path: "lekto:doc/..." would be taken as relative to the
        // document shown, the scheme being a standard one to the engine.
        return QUrl(QStringLiteral("%1:/%2/%3/%4").arg(QLatin1String(kDocScheme), kind).arg(viewId).arg(serial));
    }

    void drop(int viewId) { FDocs.remove(viewId); }

    // /doc/<view>/<serial> or /error/<view>/<serial>
    std::optional<QByteArray> served(const QUrl &url) const
    {
        const QStringList parts = url.path().mid(1).split(QLatin1Char('/'));
        bool ok = false;
        const int viewId = parts.value(1).toInt(&ok);
        if (ok && parts.value(0) == QLatin1String("doc") && FDocs.contains(viewId))
            return FDocs.value(viewId);
        if (ok && parts.value(0) == QLatin1String("error") && FErrors.contains(parts.value(1) + '/' + parts.value(2)))
            return FErrors.value(parts.value(1) + '/' + parts.value(2));
        return std::nullopt;
    }

    void requestStarted(QWebEngineUrlRequestJob *job) override
    {
        const std::optional<QByteArray> body = served(job->requestUrl());
        if (!body) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto *buffer = new QBuffer(job);
        buffer->setData(*body);
        job->reply("text/html;charset=utf-8", buffer);
    }

private:
    static constexpr int kKeptErrorPages = 64;
    QHash<int, QByteArray> FDocs;
    QHash<QString, QByteArray> FErrors;
    QList<QString> FErrorOrder;
};

// Command addresses are executed by the program, never loaded: whatever asks
// the engine for one (an image, a frame, a fetch) gets nothing.
class TCommandSchemeHandler : public QWebEngineUrlSchemeHandler
{
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob *job) override { job->fail(QWebEngineUrlRequestJob::RequestDenied); }
};

TDocSchemeHandler *gDocHandler = nullptr;

TDocSchemeHandler *docHandler()
{
    Profile(false);
    return gDocHandler;
}

bool pathKind(const QUrl &url, QLatin1String kind)
{
    return IsDocScheme(url) && url.path().startsWith(QLatin1Char('/') + kind + QLatin1Char('/'));
}

} // namespace

void RegisterSchemes()
{
    QWebEngineUrlScheme doc(kDocScheme);
    doc.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    doc.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme
                 | QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(doc);

    // Registered so that the engine asks the navigation hook about command
    // links (an unknown scheme never reaches it); as a local scheme, pages
    // from the web cannot load it.
    QWebEngineUrlScheme rc(kCommandScheme);
    rc.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    rc.setFlags(QWebEngineUrlScheme::LocalScheme);
    QWebEngineUrlScheme::registerScheme(rc);
}

QWebEngineProfile *Profile(bool offTheRecord)
{
    // One profile for every view: a pop-up must share its opener's profile.
    static QWebEngineProfile *profile = [offTheRecord] {
        auto *p = offTheRecord ? new QWebEngineProfile(qApp) : new QWebEngineProfile(QStringLiteral("Lekto"), qApp);
        gDocHandler = new TDocSchemeHandler(p);
        p->installUrlSchemeHandler(kDocScheme, gDocHandler);
        p->installUrlSchemeHandler(kCommandScheme, new TCommandSchemeHandler(p));
        OwnRequests::Install(p);
        return p;
    }();
    return profile;
}

QUrl PutDocument(int viewId, quint64 serial, const QByteArray &html)
{
    return docHandler()->put(QStringLiteral("doc"), viewId, serial, html);
}

QUrl PutErrorPage(int viewId, quint64 serial, const QByteArray &html)
{
    return docHandler()->put(QStringLiteral("error"), viewId, serial, html);
}

void DropView(int viewId)
{
    if (gDocHandler)
        gDocHandler->drop(viewId);
}

QByteArray Served(const QUrl &url)
{
    return IsDocScheme(url) ? docHandler()->served(url).value_or(QByteArray()) : QByteArray();
}

bool IsDocScheme(const QUrl &url)
{
    return url.scheme() == QLatin1String(kDocScheme);
}

bool IsOwnDocument(const QUrl &url)
{
    return pathKind(url, QLatin1String("doc"));
}

bool IsErrorPage(const QUrl &url)
{
    return pathKind(url, QLatin1String("error"));
}

} // namespace OwnPages
