#include "prefetch.h"

#include "browserview.h"
#include "chapterlinks.h"
#include "ownrequests.h"
#include "requestpolicy.h"

#include <QtCore/QElapsedTimer>

bool TPrefetchState::Worth(const QUrl &page, const QUrl &next)
{
    if (!next.isValid() || (next.scheme() != QLatin1String("http") && next.scheme() != QLatin1String("https")))
        return false;
    if (next.adjusted(QUrl::RemoveFragment) == page.adjusted(QUrl::RemoveFragment))
        return false;
    return ChapterLinks::SameSite(page, next);
}

qint64 TPrefetchState::NowMs()
{
    static const QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

void TPrefetchState::Start(const QUrl &next, const QUrl &from, qint64 nowMs)
{
    Clear();
    FTarget = next.adjusted(QUrl::RemoveFragment);
    OwnRequests::Register(FTarget);
    FFrom = from;
    FStartedMs = nowMs;
}

void TPrefetchState::Clear()
{
    if (!FTarget.isEmpty())
        OwnRequests::Unregister(FTarget);
    FTarget.clear();
    FFrom.clear();
    FStartedMs = 0;
}

bool TPrefetchState::IsOurs(const QUrl &url) const
{
    return Active() && url.adjusted(QUrl::RemoveFragment) == FTarget;
}

bool TPrefetchState::Serves(const QUrl &url, qint64 nowMs) const
{
    return IsOurs(url) && nowMs >= FStartedMs && nowMs - FStartedMs < kFreshMs && !OwnRequests::ReaderHasCookiesFor(url);
}

bool TPrefetchState::LeavesBook(const QUrl &url) const
{
    return Active() && !IsOurs(url) && !ChapterLinks::SameBook(FFrom, url);
}

TPrefetchFilter::TPrefetchFilter(TBrowserView *view) : TRequestFilter(view), FView(view)
{
}

void TPrefetchFilter::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    using RI = QWebEngineUrlRequestInfo;
    const TPrefetchState &prefetch = FView->PrefetchState();
    const RI::ResourceType type = info.resourceType();
    if (type == RI::ResourceTypePrefetch && prefetch.IsOurs(info.requestUrl())) {
        // Fetched as the page it stands for would be: a fresh copy when the
        // view asks for fresh copies.
        if (decideRequest(FView->DownloadOptions(), RI::ResourceTypeMainFrame).bypassCache) {
            info.setHttpHeader("Cache-Control", "no-cache");
            info.setHttpHeader("Pragma", "no-cache");
        }
        return;
    }
    if (type == RI::ResourceTypeMainFrame && prefetch.Serves(info.requestUrl(), TPrefetchState::NowMs()))
        return;
    TRequestFilter::interceptRequest(info);
}
