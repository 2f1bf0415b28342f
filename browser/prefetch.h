#pragma once

#include "browserpage.h"

#include <QtCore/QUrl>

class TBrowserView;

// The one chapter a view fetches ahead of the reader. The page is fetched as
// the document's own <link rel=prefetch> would fetch it: into the engine's
// cache, where the engine keeps such a copy usable for some minutes without
// asking the site again. Nothing is shown, run or recorded: no document is
// made of it, and it opens no window. Pure mode asks the site for a fresh copy
// of every page; a copy fetched moments ago for the reader is fresh enough,
// so the request that turns to it is let through as a plain one.
class TPrefetchState
{
public:
    // How long the copy stands in for the page. The engine itself gives a
    // prefetched copy five minutes; the request must reach it well within.
    static constexpr qint64 kFreshMs = 4 * 60 * 1000;

    // Whether next, linked from page, is worth fetching: a web page of the
    // same site (a copy fetched for another site would not serve it anyway).
    static bool Worth(const QUrl &page, const QUrl &next);

    // A monotonic clock for the times below.
    static qint64 NowMs();

    TPrefetchState() = default;
    ~TPrefetchState() { Clear(); }
    TPrefetchState(const TPrefetchState &) = delete;
    TPrefetchState &operator=(const TPrefetchState &) = delete;

    // The copy is fetched without the reader's cookies (OwnRequests) from
    // Start until Clear.
    void Start(const QUrl &next, const QUrl &from, qint64 nowMs);
    void Clear();
    bool Active() const { return !FTarget.isEmpty(); }
    const QUrl &Target() const { return FTarget; }
    const QUrl &From() const { return FFrom; }

    // The engine's request for the copy.
    bool IsOurs(const QUrl &url) const;
    // A top-level request for url that the copy may answer: fresh, and the
    // reader has no cookies for it that the copy was fetched without.
    bool Serves(const QUrl &url, qint64 nowMs) const;
    // A top-level navigation to url leaves the book the copy was fetched for:
    // neither the chapter fetched nor another page of the book it is read in.
    bool LeavesBook(const QUrl &url) const;

private:
    QUrl FTarget; // without fragment: the engine fetches and keeps it so
    QUrl FFrom;
    qint64 FStartedMs = 0;
};

// The view's request filter, with the prefetch's two exceptions: its own
// request goes out (a page's prefetches are blocked with scripts off), and
// the turn to the copy may be answered from the cache.
class TPrefetchFilter : public TRequestFilter
{
public:
    explicit TPrefetchFilter(TBrowserView *view);
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
    TBrowserView *FView;
};
