#include "browserview.h"

#include "requestpolicy.h"

#include <QtCore/QBuffer>
#include <QtCore/QCoreApplication>
#include <QtCore/QHash>
#include <QtWebEngineCore/QWebEngineLoadingInfo>
#include <QtWebEngineCore/QWebEngineNewWindowRequest>
#include <QtWebEngineCore/QWebEnginePage>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWebEngineCore/QWebEngineScriptCollection>
#include <QtWebEngineCore/QWebEngineSettings>
#include <QtWebEngineCore/QWebEngineUrlRequestInterceptor>
#include <QtWebEngineCore/QWebEngineUrlRequestJob>
#include <QtWebEngineCore/QWebEngineUrlScheme>
#include <QtWebEngineCore/QWebEngineUrlSchemeHandler>

#include <algorithm>
#include <array>

namespace {

// The document's own title: document.title trims and folds white space, which
// is what a reader sees, but leaves nothing of a title made of spaces only,
// which is still a title.
const QString kTitleScript = QStringLiteral(
    "(function(){var t=document.querySelector('title');"
    "if(!t)return '';var s=document.title;return s!==''?s:t.text;})()");
// At completion our own documents are also shown, should the script that
// shows them at DOMContentLoaded not have run.
const QString kCompletionScript = QStringLiteral(
    "if(location.protocol==='lekto:'&&document.documentElement)document.documentElement.style.display='';")
    + kTitleScript;

// Documents shown with LoadFromString are served from this scheme. It may
// reach the command scheme "rc", which ordinary web pages may not.
const QByteArray kDocScheme = "lekto";
// Command links. Registered so that the engine asks the navigation hook about
// them (an unknown scheme never reaches it); as a local scheme, pages from
// the web cannot load it.
const QByteArray kCommandScheme = "rc";

bool gOffTheRecord = false;
int gNextViewId = 1;

// Serves the latest LoadFromString document of each view from memory: unlike
// QWebEnginePage::setHtml there is no size limit. Going back to an earlier
// one shows the latest: an old start page would carry command links whose
// positions no longer name the same entries.
class TDocSchemeHandler : public QWebEngineUrlSchemeHandler
{
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    QUrl put(int viewId, quint64 serial, const QByteArray &html)
    {
        FDocs.insert(viewId, html);
        return QUrl(QStringLiteral("%1:doc/%2/%3").arg(QString::fromLatin1(kDocScheme)).arg(viewId).arg(serial));
    }

    void drop(int viewId) { FDocs.remove(viewId); }

    void requestStarted(QWebEngineUrlRequestJob *job) override
    {
        // doc/<view>/<serial>
        const QStringList parts = job->requestUrl().path().split(QLatin1Char('/'));
        bool ok = false;
        const int viewId = parts.value(1).toInt(&ok);
        if (parts.value(0) != QLatin1String("doc") || !ok || !FDocs.contains(viewId)) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto *buffer = new QBuffer(job);
        buffer->setData(FDocs.value(viewId));
        job->reply("text/html;charset=utf-8", buffer);
    }

private:
    QHash<int, QByteArray> FDocs;
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

// Text-size steps 0 (smallest) to 4 (largest), as default font sizes in pixels.
constexpr std::array<int, 5> kTextSizes = {12, 14, 16, 19, 24};

} // namespace

class TRequestFilter : public QWebEngineUrlRequestInterceptor
{
public:
    explicit TRequestFilter(TBrowserView *view) : QWebEngineUrlRequestInterceptor(view), FView(view) {}

    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        const auto d = decideRequest(FView->DownloadOptions(), info.resourceType());
        if (d.block) {
            info.block(true);
            return;
        }
        if (d.bypassCache) {
            // Chromium's HTTP cache treats these request headers as "load
            // bypassing the cache", like a forced reload.
            info.setHttpHeader("Cache-Control", "no-cache");
            info.setHttpHeader("Pragma", "no-cache");
        }
    }

private:
    TBrowserView *FView;
};

class TBrowserPage : public QWebEnginePage
{
public:
    TBrowserPage(QWebEngineProfile *profile, TBrowserView *view) : QWebEnginePage(profile, view), FView(view) {}

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        return FView->beforeNavigate(url, type, isMainFrame);
    }

    // A view whose Silent is set, or that nobody can see, shows no dialogs.
    bool quiet() const { return FView->Silent() || !FView->isVisible(); }
    void javaScriptAlert(const QUrl &origin, const QString &msg) override
    {
        if (!quiet())
            QWebEnginePage::javaScriptAlert(origin, msg);
    }
    bool javaScriptConfirm(const QUrl &origin, const QString &msg) override
    {
        return quiet() ? false : QWebEnginePage::javaScriptConfirm(origin, msg);
    }
    bool javaScriptPrompt(const QUrl &origin, const QString &msg, const QString &def, QString *result) override
    {
        return quiet() ? false : QWebEnginePage::javaScriptPrompt(origin, msg, def, result);
    }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &, int, const QString &) override {}

private:
    TBrowserView *FView;
};

void TBrowserView::RegisterSchemes()
{
    QWebEngineUrlScheme doc(kDocScheme);
    doc.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    doc.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme
                 | QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(doc);

    QWebEngineUrlScheme rc(kCommandScheme);
    rc.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    rc.setFlags(QWebEngineUrlScheme::LocalScheme);
    QWebEngineUrlScheme::registerScheme(rc);
}

void TBrowserView::UseOffTheRecordProfile()
{
    gOffTheRecord = true;
}

QWebEngineProfile *TBrowserView::Profile()
{
    // One profile for every view: a pop-up must share its opener's profile.
    static QWebEngineProfile *profile = [] {
        auto *p = gOffTheRecord ? new QWebEngineProfile(qApp) : new QWebEngineProfile(QStringLiteral("Lekto"), qApp);
        gDocHandler = new TDocSchemeHandler(p);
        p->installUrlSchemeHandler(kDocScheme, gDocHandler);
        p->installUrlSchemeHandler(kCommandScheme, new TCommandSchemeHandler(p));
        return p;
    }();
    return profile;
}

TBrowserView::TBrowserView(QWidget *parent) : QWebEngineView(parent), FViewId(gNextViewId++)
{
    FPage = new TBrowserPage(Profile(), this);
    FFrameDisp = new QObject(this);
    FPage->setUrlRequestInterceptor(new TRequestFilter(this));
    setPage(FPage);

    auto *s = FPage->settings();
    // window.open without a user gesture must still reach the new-window
    // event, or the engine's own pop-up blocker would hide it from us.
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    s->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);

    // A document from a custom scheme reaches the renderer in 64 KiB pieces,
    // each laid out before the next is pulled: a start page with thousands of
    // rows was laid out again for every piece (10 s for 10,000 rows). Our own
    // documents stay out of layout until parsed, and are laid out once.
    auto ownDocumentScript = [this](const char *name, QWebEngineScript::InjectionPoint point, const QString &source) {
        QWebEngineScript script;
        script.setName(QString::fromLatin1(name));
        script.setWorldId(QWebEngineScript::ApplicationWorld);
        script.setInjectionPoint(point);
        script.setRunsOnSubFrames(false);
        script.setSourceCode(QStringLiteral("if(location.protocol==='lekto:'){") + source + QLatin1Char('}'));
        FPage->scripts().insert(script);
    };
    ownDocumentScript("lekto-hide", QWebEngineScript::DocumentCreation,
                      QStringLiteral("new MutationObserver(function(m,o){var e=document.documentElement;"
                                     "if(e){e.style.display='none';o.disconnect();}}).observe(document,{childList:true});"));
    ownDocumentScript("lekto-show", QWebEngineScript::DocumentReady,
                      QStringLiteral("if(document.documentElement)document.documentElement.style.display='';"));
    connect(FPage, &QWebEnginePage::loadingChanged, this, &TBrowserView::onLoadingChanged);
    connect(FPage, &QWebEnginePage::newWindowRequested, this, &TBrowserView::onNewWindowRequested);
    connect(FPage, &QWebEnginePage::linkHovered, this, [this](const QString &url) {
        if (OnStatusTextChange)
            OnStatusTextChange(this, url);
    });
    connect(FPage, &QWebEnginePage::loadProgress, this, [this](int progress) {
        if (OnProgressChange)
            OnProgressChange(this, progress, 100);
    });
    connect(FPage, &QWebEnginePage::titleChanged, this, [this](const QString &) {
        // Qt reports the address as the title of a page without one; the
        // document's own title is asked for instead.
        QPointer<TBrowserView> self(this);
        FPage->runJavaScript(kTitleScript, QWebEngineScript::ApplicationWorld,
                             [self](const QVariant &v) {
                                 if (self && self->OnTitleChange)
                                     self->OnTitleChange(self, v.toString());
                             });
    });

    SetDownloadOptions(defaultDownloadOptions());
}

TBrowserView::~TBrowserView()
{
    if (gDocHandler)
        gDocHandler->drop(FViewId);
    // The page must go before the view it is shown in.
    setPage(nullptr);
    delete FPage;
}

void TBrowserView::applySettings()
{
    using O = TDownloadControlOption;
    auto *s = FPage->settings();
    const bool plugins = !FDownloadOptions.contains(O::DontExecuteJava) && !FDownloadOptions.contains(O::DontExecuteActiveX)
        && !FDownloadOptions.contains(O::DontDownloadActiveX);
    // An <object> or <embed> that shows a page or a picture is a frame to the
    // engine, not a plug-in, and its request says nothing of the element; a
    // content policy in the page is what keeps object content out.
    const QString noObjects = QStringLiteral("lekto-no-objects");
    const auto existing = FPage->scripts().find(noObjects);
    if (plugins) {
        for (const auto &script : existing)
            FPage->scripts().remove(script);
    } else if (existing.isEmpty()) {
        QWebEngineScript script;
        script.setName(noObjects);
        script.setWorldId(QWebEngineScript::ApplicationWorld);
        script.setInjectionPoint(QWebEngineScript::DocumentCreation);
        script.setRunsOnSubFrames(true);
        script.setSourceCode(QStringLiteral(
            "new MutationObserver(function(m,o){var h=document.head;if(!h)return;o.disconnect();"
            "var c=document.createElement('meta');c.httpEquiv='Content-Security-Policy';"
            "c.content=\"object-src 'none'\";h.insertBefore(c,h.firstChild);})"
            ".observe(document,{childList:true,subtree:true});"));
        FPage->scripts().insert(script);
    }
    s->setAttribute(QWebEngineSettings::AutoLoadImages, FDownloadOptions.contains(O::DownloadImages));
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, !FDownloadOptions.contains(O::DontExecuteScripts));
    s->setAttribute(QWebEngineSettings::PluginsEnabled,
                    !FDownloadOptions.contains(O::DontExecuteJava) && !FDownloadOptions.contains(O::DontExecuteActiveX)
                        && !FDownloadOptions.contains(O::DontDownloadActiveX));
}

void TBrowserView::SetDownloadOptions(TDownloadOptions options)
{
    FDownloadOptions = options;
    FDownloadFlagValue = options.flagValue();
    // The request filter reads the options on every request; the settings
    // govern what the next document does.
    applySettings();
}

void TBrowserView::loadInternal(const QUrl &url, bool fromHost)
{
    FHostNavigation = fromHost ? url : QUrl();
    FPage->load(url);
}

void TBrowserView::Navigate(const QString &URL)
{
    // A bare host such as www.example.com opens as http, as readers expect.
    loadInternal(QUrl::fromUserInput(URL), true);
}

void TBrowserView::Navigate2(const QString &URL)
{
    Navigate(URL);
}

void TBrowserView::Refresh()
{
    // The request headers alone do not reach the renderer's memory cache;
    // a reload that bypasses the cache does.
    FPage->triggerAction(FDownloadOptions.contains(TDownloadControlOption::DownloadAndIgnoreCache)
                             ? QWebEnginePage::ReloadAndBypassCache
                             : QWebEnginePage::Reload);
}

void TBrowserView::Stop()
{
    FStopRequested = FPage->isLoading();
    FPage->triggerAction(QWebEnginePage::Stop);
}

void TBrowserView::GoBack()
{
    FPage->triggerAction(QWebEnginePage::Back);
}

void TBrowserView::GoForward()
{
    FPage->triggerAction(QWebEnginePage::Forward);
}

int TBrowserView::LoadFromString(const QString &St)
{
    Profile();
    const QUrl url = gDocHandler->put(FViewId, ++FLoadSerial, St.toUtf8());
    loadInternal(url, false);
    return 0;
}

TBrowserObject TBrowserView::Application() const
{
    return FPage;
}

TBrowserObject TBrowserView::Document() const
{
    return FDoc ? FPage : nullptr;
}

const THtmlDocument2 *TBrowserView::Doc2() const
{
    return FDoc ? &*FDoc : nullptr;
}

bool TBrowserView::ShowsOwnDocument() const
{
    return FDoc && FPage->url().scheme() == QLatin1String(kDocScheme);
}

QString TBrowserView::displayUrl(const QUrl &url) const
{
    if (url.scheme() == QLatin1String(kDocScheme))
        return QStringLiteral("about:blank");
    return url.toString();
}

bool TBrowserView::beforeNavigate(const QUrl &url, int type, bool isMainFrame)
{
    // Our own documents are shown, not navigated to.
    if (isMainFrame && url.scheme() == QLatin1String(kDocScheme))
        return true;

    int flags = type & kNavTypeMask;
    if (isMainFrame && type == QWebEnginePage::NavigationTypeTyped && !FHostNavigation.isEmpty()
        && url.matches(FHostNavigation, QUrl::StripTrailingSlash | QUrl::NormalizePathSegments))
        flags |= kNavFromHost;
    if (isMainFrame)
        FHostNavigation.clear();

    bool cancel = false;
    if (OnBeforeNavigate2) {
        QString u = url.toString();
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
        completeDocument(info.url(), true);
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
        // "aborted"; only the stop is the reader's (or the page's) doing.
        if (FStopRequested) {
            FStopRequested = false;
            if (OnStop)
                OnStop(this);
            break;
        }
        if (info.status() == QWebEngineLoadingInfo::LoadStoppedStatus || info.errorCode() == -3 /* aborted */)
            break;
        // An address that cannot be opened leaves the engine's error page,
        // which has no title of its own.
        completeDocument(info.url(), false);
        break;
    }
}

void TBrowserView::completeDocument(const QUrl &url, bool fetchTitle)
{
    const quint64 serial = FLoadSerial;
    auto finish = [this, url, serial](const QString &title) {
        if (serial != FLoadSerial)
            return; // another load began meanwhile; its completion follows
        FDoc = THtmlDocument2{displayUrl(url), title};
        if (OnDocumentComplete) {
            QString u = FDoc->URL;
            OnDocumentComplete(this, FPage, u);
        }
    };
    if (!fetchTitle) {
        finish(QString());
        return;
    }
    // QWebEnginePage::title() gives the address for a page without a title;
    // the application world can read the real one even with scripts off.
    QPointer<TBrowserView> self(this);
    FPage->runJavaScript(kCompletionScript, QWebEngineScript::ApplicationWorld,
                         [self, finish](const QVariant &v) {
                             if (self)
                                 finish(v.toString());
                         });
}

void TBrowserView::onNewWindowRequested(QWebEngineNewWindowRequest &request)
{
    TBrowserObject target = nullptr;
    bool cancel = false;
    if (OnNewWindow3)
        OnNewWindow3(this, target, cancel, static_cast<quint32>(request.destination()), FPage->url().toString(),
                     request.requestedUrl().toString());
    // No page ever gets a top-level window of its own: a request that no
    // handler places is dropped.
    if (cancel || !target)
        return;
    auto *view = qobject_cast<TBrowserView *>(target->parent());
    if (!view || view->Application() != target)
        return;
    // The receiving view loads the address itself, under its own options, so
    // a pop-up never runs with more rights than the view that swallows it.
    // window.open("") asks for an empty window: that is about:blank.
    QUrl url = request.requestedUrl();
    if (url.isEmpty() || !url.isValid())
        url = QUrl(QStringLiteral("about:blank"));
    view->loadInternal(url, false);
}

void TBrowserView::SetZoomPercent(int value)
{
    if (value == FZoomPercent)
        return;
    FZoomPercent = value;
    // Qt silently ignores factors outside the engine's range, so clamp here.
    const int applied = std::clamp(value, kMinZoomPercent, kMaxZoomPercent);
    setZoomFactor(applied / 100.0);
}

void TBrowserView::SetZoom(int step)
{
    FZoomStep = std::clamp(step, 0, static_cast<int>(kTextSizes.size()) - 1);
    FPage->settings()->setFontSize(QWebEngineSettings::DefaultFontSize, kTextSizes[static_cast<std::size_t>(FZoomStep)]);
}

void TBrowserView::SetFocus()
{
    if (isVisible() && isEnabled())
        setFocus(Qt::OtherFocusReason);
}
