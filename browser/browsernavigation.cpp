// How a view follows its navigations and documents.
#include "browserview.h"

#include "browserpage.h"
#include "errorpage.h"
#include "ownpages.h"
#include "scripts.h"

#include <QtCore/QTimer>
#include <QtWebEngineCore/QWebEngineHistory>
#include <QtWebEngineCore/QWebEngineLoadingInfo>
#include <QtWebEngineCore/QWebEngineNewWindowRequest>
#include <QtWebEngineCore/QWebEngineScript>

namespace {

ErrorPage::Domain errorDomain(QWebEngineLoadingInfo::ErrorDomain d)
{
    using E = QWebEngineLoadingInfo;
    switch (d) {
    case E::ConnectionErrorDomain: return ErrorPage::Domain::Connection;
    case E::CertificateErrorDomain: return ErrorPage::Domain::Certificate;
    case E::HttpErrorDomain:
    case E::HttpStatusCodeDomain: return ErrorPage::Domain::Http;
    case E::DnsErrorDomain: return ErrorPage::Domain::Dns;
    default: return ErrorPage::Domain::Other;
    }
}

} // namespace

void TBrowserView::loadInternal(const QUrl &url, bool fromHost)
{
    if (FShutDown)
        return;
    FHostNavigation = fromHost ? url : QUrl();
    FPage->load(url);
}

QString TBrowserView::displayUrl(const QUrl &url) const
{
    if (OwnPages::IsErrorPage(url))
        return FErrorAddresses.value(url.toString(), url.toString());
    if (OwnPages::IsDocScheme(url))
        return QStringLiteral("about:blank");
    // The address as the document has it: percent-encoded, as the history
    // has always recorded it.
    return url.toString(QUrl::FullyEncoded);
}

bool TBrowserView::beforeNavigate(const QUrl &url, int type, bool isMainFrame)
{
    if (FShutDown)
        return false;
    if (isMainFrame) {
        if (OnLeavePage && FDoc && !FDoc->IsErrorPage)
            OnLeavePage(this, *FDoc, ScrollRatio());
        rememberScroll();
        FReadingShown = false;
        FLastNavigationType = type;
        ++FNavigationSerial;
        if (FPrefetch.LeavesBook(url))
            StopPrefetch();
        emit navigationBegun();
    }
    // Our own documents are shown, not navigated to.
    if (isMainFrame && OwnPages::IsDocScheme(url))
        return true;

    // A document of the local "lekto" scheme may show a web page only by a
    // navigation that the program starts: one the document starts itself is
    // refused by the engine (ERR_NETWORK_ACCESS_DENIED) or leaves a history
    // entry that 后退 later cannot load. The program opens such links itself.
    if (isMainFrame && type == QWebEnginePage::NavigationTypeLinkClicked && OwnPages::IsDocScheme(FPage->url())
        && url.scheme() != QLatin1String(OwnPages::kCommandScheme)) {
        FCancelledUrl = url;
        FReissuedUrl = url;
        QTimer::singleShot(0, this, [this, url] { loadInternal(url, false); });
        return false;
    }

    int flags = type & kNavTypeMask;
    if (isMainFrame && !FReissuedUrl.isEmpty() && url == FReissuedUrl)
        flags = QWebEnginePage::NavigationTypeLinkClicked;
    else if (isMainFrame && type == QWebEnginePage::NavigationTypeTyped && !FHostNavigation.isEmpty()
             && url.matches(FHostNavigation, QUrl::StripTrailingSlash | QUrl::NormalizePathSegments))
        flags |= kNavFromHost;
    if (isMainFrame) {
        FHostNavigation.clear();
        FReissuedUrl.clear();
    }

    bool cancel = false;
    if (OnBeforeNavigate2) {
        QString u = url.toString(QUrl::FullyEncoded);
        QString target, headers;
        QByteArray post;
        OnBeforeNavigate2(this, isMainFrame ? FPage : FFrameDisp, u, flags, target, post, headers, cancel);
    }
    if (cancel && isMainFrame)
        FCancelledUrl = url;
    return !cancel;
}

void TBrowserView::onLoadingChanged(const QWebEngineLoadingInfo &info)
{
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        ++FLoadSerial;
        FStopRequested = false;
        break;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        FReaderClickFrom = nullptr; // a page, not a file: what it does later is its own doing
        completeDocument([this] { restoreScroll(); });
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
    case QWebEngineLoadingInfo::LoadFailedStatus:
        // A navigation our handler cancelled is reported by the engine as a
        // failed load; the page still shown has not completed again.
        if (!FCancelledUrl.isEmpty() && info.url() == FCancelledUrl) {
            FCancelledUrl.clear();
            break;
        }
        // The engine reports a stop, and a load given up for a newer one, as
        // "aborted"; only the stop is the reader's (or the page's) doing. It
        // is about whatever document the view holds by then.
        if (FStopRequested) {
            FStopRequested = false;
            syncDocument(
                [this] {
                    if (OnStop)
                        OnStop(this);
                },
                true);
            break;
        }
        if (info.status() == QWebEngineLoadingInfo::LoadStoppedStatus || info.errorCode() == -3 /* aborted */)
            break;
        completeErrorPage(info);
        break;
    }
}

void TBrowserView::syncDocument(std::function<void()> then, bool withChapterLinks)
{
    QPointer<TBrowserView> self(this);
    static const QString withLinks = Scripts::completionState(ChapterLinks::FindScript());
    FPage->runJavaScript(withChapterLinks ? withLinks : Scripts::kDocumentState, QWebEngineScript::ApplicationWorld,
                         [self, then](const QVariant &v) {
                             // An answer that is no document's (the page went
                             // away meanwhile) changes and reports nothing.
                             if (!Answered(self, v) || !self->adoptDocument(v))
                                 return;
                             if (then)
                                 then();
                         });
}

bool TBrowserView::adoptDocument(const QVariant &answer)
{
    const QVariantList state = answer.toList();
    if (state.size() != 2 && state.size() != 3)
        return false;
    const QUrl href(state[0].toString());
    if (href.scheme() == QLatin1String("chrome-error")) {
        // The engine's error page, which we show in our words: it stands for
        // the address that failed, which 刷新 tries again.
        FDoc = THtmlDocument2{displayUrl(FPage->url()), ErrorPage::kTitle, true, {}};
        return true;
    }
    const QString url = displayUrl(href);
    // The links found at completion stay with the document until it goes.
    TChapterLinks chapter;
    if (state.size() == 3)
        chapter = ChapterLinks::FromAnswer(state[2]);
    else if (FDoc && FDoc->URL == url)
        chapter = FDoc->chapter;
    FDoc = THtmlDocument2{url, state[1].toString(), OwnPages::IsErrorPage(href), chapter};
    return true;
}

void TBrowserView::completeDocument(std::function<void()> beforeReport)
{
    const quint64 serial = FLoadSerial;
    QPointer<TBrowserView> self(this);
    static const QString script = Scripts::documentState(ChapterLinks::FindScript());
    const bool reading = FReadingOn;
    FReadingShown = false;
    FPage->runJavaScript(reading ? ReadingCompletionScript() : script, QWebEngineScript::ApplicationWorld,
                         [self, serial, beforeReport, reading](const QVariant &v) {
                             if (!Answered(self, v) || serial != self->FLoadSerial)
                                 return; // another load began meanwhile; its completion follows
                             QVariant answer = v;
                             const std::optional<QVariant> extracted = reading ? takeReadingAnswer(answer) : std::nullopt;
                             // No answer: the page went away (the view or the
                             // engine closing). Nothing completed that can be
                             // read, and nothing is recorded.
                             if (!self->adoptDocument(answer))
                                 return;
                             self->FShownHistoryIndex = self->FPage->history()->currentItemIndex();
                             auto report = [self, serial, beforeReport](bool) {
                                 if (!self || self->FShutDown || serial != self->FLoadSerial)
                                     return;
                                 if (beforeReport)
                                     beforeReport();
                                 if (self->FDoc && self->OnDocumentComplete) {
                                     QString u = self->FDoc->URL;
                                     self->OnDocumentComplete(self, self->FPage, u);
                                 }
                             };
                             // The chapter goes into the view before anything
                             // looks at the page: the place kept in it, find.
                             if (extracted && self->FReadingOn && !self->FDoc->IsErrorPage)
                                 self->showReading(*extracted, report);
                             else
                                 report(false);
                         });
}

void TBrowserView::completeErrorPage(const QWebEngineLoadingInfo &info)
{
    const quint64 serial = FLoadSerial;
    const QString address = displayUrl(info.url());
    const QString inner = ErrorPage::Inner(address, ErrorPage::Reason(errorDomain(info.errorDomain()), info.errorCode()));
    QPointer<TBrowserView> self(this);
    auto report = [self, serial, address] {
        if (!self || self->FShutDown || serial != self->FLoadSerial)
            return;
        self->FDoc = THtmlDocument2{address, ErrorPage::kTitle, true, {}};
        if (self->OnDocumentComplete) {
            QString u = address;
            self->OnDocumentComplete(self, self->FPage, u);
        }
    };
    if (!info.isErrorPage()) {
        // The site's own page for an error (404 with a body): it is shown,
        // with its own address and title, but it is no page of the book.
        QPointer<TBrowserView> me(this);
        completeDocument([me] {
            if (me && me->FDoc)
                me->FDoc->IsErrorPage = true;
        });
        return;
    }
    // The engine's error pages need scripts, which pure mode switches off,
    // and speak English: ours says in Chinese what failed. The history entry
    // stays the address that failed, so 刷新 and 后退/前进 try it again.
    FPage->runJavaScript(Scripts::showInside(inner), QWebEngineScript::ApplicationWorld,
                         [self, report](const QVariant &v) {
                             if (Answered(self, v))
                                 report();
                         });
}

void TBrowserView::showErrorDocument(const QString &address, const QString &reason, bool retryHelps, const QUrl &search)
{
    const QUrl url = OwnPages::PutErrorPage(FViewId, ++FLoadSerial, ErrorPage::Html(address, reason, retryHelps, search).toUtf8());
    FErrorAddresses.insert(url.toString(), address);
    loadInternal(url, false);
}

void TBrowserView::rememberScroll()
{
    const QUrl url = FPage->url();
    if (url.isEmpty())
        return;
    // Under the entry of the page being left: on 后退 and 前进 the engine
    // has moved its current entry to the one being opened already.
    const int index = FShownHistoryIndex >= 0 ? FShownHistoryIndex : FPage->history()->currentItemIndex();
    FScrollMarks.insert(index, TScrollMark{url, FPage->scrollPosition()});
}

void TBrowserView::restoreScroll()
{
    // The engine puts a page back where it was only as far as the page has
    // arrived by then; a page fetched again (pure mode asks for fresh copies)
    // comes back short of the reader's place. It is put back once complete.
    if (FLastNavigationType != QWebEnginePage::NavigationTypeBackForward)
        return;
    const auto mark = FScrollMarks.constFind(FPage->history()->currentItemIndex());

    if (mark == FScrollMarks.constEnd() || mark->url != FPage->url() || mark->position.isNull())
        return;
    FPage->runJavaScript(Scripts::scrollTo(mark->position.x(), mark->position.y()), QWebEngineScript::ApplicationWorld);
}

void TBrowserView::onNewWindowRequested(QWebEngineNewWindowRequest &request)
{
    const QUrl requested = request.requestedUrl();
    // A command link of our own page opened "in a new window" runs as the
    // same click would; from anywhere else it is nothing.
    if (requested.scheme() == QLatin1String(OwnPages::kCommandScheme)) {
        if (OwnPages::IsOwnDocument(FPage->url()) && FDoc)
            beforeNavigate(requested, QWebEnginePage::NavigationTypeLinkClicked, true);
        return;
    }

    TBrowserObject target = nullptr;
    bool cancel = false;
    if (OnNewWindow3)
        OnNewWindow3(this, target, cancel, static_cast<quint32>(request.destination()),
                     FPage->url().toString(QUrl::FullyEncoded), requested.toString(QUrl::FullyEncoded));
    // No page ever gets a top-level window of its own: a request that no
    // handler places is dropped.
    if (cancel || !target)
        return;
    auto *view = qobject_cast<TBrowserView *>(target->parent());
    if (!view || view->Application() != target)
        return;
    // window.open("") asks for an empty window: that is about:blank. A page
    // gets web pages in its pop-ups, never a local file or one of our own
    // documents: the program's own loads skip the engine's checks on those.
    QUrl url = requested;
    if (url.isEmpty() || !url.isValid())
        url = QUrl(QStringLiteral("about:blank"));
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https") && scheme != QLatin1String("about"))
        return;
    if (view == this) {
        openFromDocument(url);
        return;
    }
    // Another view loads the address itself, under its own options, so a
    // pop-up never runs with more rights than the view that swallows it.
    // Whether the reader's click sent it there is kept: the engine says so
    // only here, and a file the load turns into is then the reader's.
    // The engine calls a window.open inside any click handler "user
    // initiated": an advert that opens itself on the reader's first click
    // anywhere would pass. Only the link the reader clicked counts.
    view->FReaderClickFrom = request.isUserInitiated() && ReaderClickedLink(requested) ? this : nullptr;
    view->loadInternal(url, false);
}

void TBrowserView::openFromDocument(const QUrl &url)
{
    // The pop-up stays in this view: the document opens it as its own link
    // would, so the site sees its referrer (and a posted form its data).
    QPointer<TBrowserView> self(this);
    FPage->runJavaScript(Scripts::openFromDocument(url), QWebEngineScript::ApplicationWorld, [self, url](const QVariant &v) {
        if (self && !self->FShutDown && !v.toBool())
            self->loadInternal(url, false);
    });
}
