#include "browserview.h"

#include "addresstext.h"
#include "browserhooks.h"
#include "browserpage.h"
#include "errorpage.h"
#include "ownpages.h"
#include "scripts.h"

#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWebEngineCore/QWebEngineScriptCollection>
#include <QtWebEngineCore/QWebEngineSettings>

#include <QtCore/QMimeData>
#include <QtGui/QDropEvent>
#include <QtGui/QKeyEvent>
#include <QtGui/QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

bool gOffTheRecord = false;
int gNextViewId = 1;

// Text-size steps 0 (smallest) to 4 (largest), as default font sizes in pixels.
constexpr std::array<int, 5> kTextSizes = {12, 14, 16, 19, 24};

} // namespace

void TBrowserView::RegisterSchemes()
{
    OwnPages::RegisterSchemes();
}

void TBrowserView::UseOffTheRecordProfile()
{
    gOffTheRecord = true;
}

QWebEngineProfile *TBrowserView::Profile()
{
    return OwnPages::Profile(gOffTheRecord);
}

TBrowserView::TBrowserView(QWidget *parent) : QWebEngineView(parent), FViewId(gNextViewId++)
{
    BrowserHooks::Install();
    FPage = new TBrowserPage(Profile(), this);
    FFrameDisp = new QObject(this);
    FPage->setUrlRequestInterceptor(new TPrefetchFilter(this));
    setPage(FPage);

    auto *s = FPage->settings();
    // window.open without a user gesture must still reach the new-window
    // event, or the engine's own pop-up blocker would hide it from us.
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    s->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);

    installChapterWatch();
    connect(FPage, &QWebEnginePage::loadingChanged, this, &TBrowserView::onLoadingChanged);
    connect(FPage, &QWebEnginePage::newWindowRequested, this, &TBrowserView::onNewWindowRequested);
    connect(FPage, &QWebEnginePage::linkHovered, this, [this](const QString &url) {
        FHoveredLink = url;
        if (OnStatusTextChange)
            OnStatusTextChange(this, url);
    });
    connect(FPage, &QWebEnginePage::loadProgress, this, [this](int progress) {
        if (OnProgressChange)
            OnProgressChange(this, progress, 100);
    });
    // Doc2 follows the document shown, not only the loads that end: a stop
    // after the new page has arrived is about the new page.
    connect(FPage, &QWebEnginePage::urlChanged, this, [this] {
        ++FNavigationSerial;
        applyZoom();
        syncDocument({});
    });
    connect(FPage, &QWebEnginePage::titleChanged, this, [this](const QString &) {
        // Qt reports the address as the title of a page without one; the
        // document's own title is asked for instead.
        syncDocument([this] {
            if (OnTitleChange && FDoc)
                OnTitleChange(this, FDoc->title);
        });
    });

    SetDownloadOptions(defaultDownloadOptions());
}

TBrowserView::~TBrowserView()
{
    Shutdown();
    OwnPages::DropView(FViewId);
    // The page must go before the view it is shown in.
    setPage(nullptr);
    if (FPrintPending) {
        // Deleting a page the engine still prints stops the whole process;
        // the owner waits for the print, and only a print that never ends
        // leaves its page behind, for the end of the program to take.
        FPage->setParent(nullptr);
        return;
    }
    delete FPage;
}

void TBrowserView::Shutdown()
{
    if (FShutDown)
        return;
    FShutDown = true;
    OnBeforeNavigate2 = nullptr;
    OnDocumentComplete = nullptr;
    OnNewWindow3 = nullptr;
    OnStatusTextChange = nullptr;
    OnTitleChange = nullptr;
    OnProgressChange = nullptr;
    OnStop = nullptr;
    OnZoomWheel = nullptr;
    OnLeavePage = nullptr;
    FPrefetch.Clear();
    ++FFindSerial;
    FPage->disconnect(this);
    FPage->triggerAction(QWebEnginePage::Stop);
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
        script.setSourceCode(Scripts::kNoObjectsPolicy);
        FPage->scripts().insert(script);
    }
    s->setAttribute(QWebEngineSettings::AutoLoadImages, FDownloadOptions.contains(O::DownloadImages));
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, !FDownloadOptions.contains(O::DontExecuteScripts));
    s->setAttribute(QWebEngineSettings::PluginsEnabled, plugins);
}

void TBrowserView::SetDownloadOptions(TDownloadOptions options)
{
    FDownloadOptions = options;
    FDownloadFlagValue = options.flagValue();
    // The request filter reads the options on every request; the settings
    // govern what the next document does.
    applySettings();
}

void TBrowserView::Navigate(const QString &URL)
{
    // The text is the reader's own. A bare host such as www.example.com opens
    // as http, as the old engine did; text shared from a chat or a forum
    // ("《剑出青云》第8章 http://… 快来看") opens the one address it holds;
    // text that cannot be an address at all gets a page that says so, never
    // an empty document.
    const QString address = AddressText::AddressToOpen(URL);
    const QUrl url = address.isEmpty() ? QUrl() : QUrl::fromUserInput(address);
    if (url.isEmpty() || !url.isValid()) {
        const QString words = URL.simplified();
        const QUrl search = FWordSearch.isEmpty() || words.isEmpty()
            ? QUrl()
            : QUrl(FWordSearch + QString::fromLatin1(QUrl::toPercentEncoding(words)), QUrl::StrictMode);
        showErrorDocument(URL, ErrorPage::Reason(ErrorPage::Domain::NotAnAddress, 0), false, search);
        return;
    }
    noteReaderGesture(QString());
    loadInternal(url, true);
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
    if (FShutDown)
        return 0;
    const QUrl url = OwnPages::PutDocument(FViewId, ++FLoadSerial, St.toUtf8());
    if (!ShowsOwnDocument()) {
        loadInternal(url, false);
        return 0;
    }
    // Our page over our own page takes its place in the history: a command
    // on the start page, or the start page asked for again, is no step that
    // 后退 has to retrace.
    QPointer<TBrowserView> self(this);
    FPage->runJavaScript(Scripts::replaceOwnDocument(url), QWebEngineScript::ApplicationWorld, [self, url](const QVariant &v) {
        // No answer outside the view's end (a renderer gone, a document
        // swapped meanwhile) is "not done": the document is loaded afresh.
        if (self && !self->FShutDown && !v.toBool())
            self->loadInternal(url, false);
    });
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
    return FDoc && OwnPages::IsOwnDocument(FPage->url());
}

void TBrowserView::SetZoomPercent(int value)
{
    if (value == FZoomPercent)
        return;
    FZoomPercent = value;
    applyZoom();
}

void TBrowserView::applyZoom()
{
    // Qt ignores page-zoom factors outside the engine's range, and Chromium
    // keeps a zoom per host, so a page of another host would come back at
    // 100 %. The view sets its zoom again for every document it shows: the
    // engine's page zoom as far as it goes, the document's own CSS zoom for
    // the rest (10 % is 25 % × 0.4, 1000 % is 500 % × 2).
    const double total = std::max(FZoomPercent, 1) / 100.0;
    const double engine = std::clamp(total, kMinZoomPercent / 100.0, kMaxZoomPercent / 100.0);
    if (!qFuzzyCompare(zoomFactor(), engine))
        setZoomFactor(engine);
    const double css = total / engine;
    const QString name = QStringLiteral("lekto-zoom");
    for (const auto &script : FPage->scripts().find(name))
        FPage->scripts().remove(script);
    if (!qFuzzyCompare(css, 1.0)) {
        QWebEngineScript script;
        script.setName(name);
        script.setWorldId(QWebEngineScript::ApplicationWorld);
        script.setInjectionPoint(QWebEngineScript::DocumentCreation);
        script.setRunsOnSubFrames(false);
        script.setSourceCode(Scripts::documentZoomWhenReady(css));
        FPage->scripts().insert(script);
    }
    FPage->runJavaScript(Scripts::documentZoom(css), QWebEngineScript::ApplicationWorld);
    applyFit(total);
}

void TBrowserView::applyFit(double zoom)
{
    // A page the zoom widens past the view would be read sideways, the
    // start of its lines out of sight and the arrows scrolling instead of
    // turning chapters: it is kept within the view instead.
    const QString name = QStringLiteral("lekto-fit");
    for (const auto &script : FPage->scripts().find(name))
        FPage->scripts().remove(script);
    if (zoom > 1.0) {
        QWebEngineScript script;
        script.setName(name);
        script.setWorldId(QWebEngineScript::ApplicationWorld);
        script.setInjectionPoint(QWebEngineScript::DocumentCreation);
        script.setRunsOnSubFrames(false);
        script.setSourceCode(Scripts::fitToView(zoom));
        FPage->scripts().insert(script);
    }
    FPage->runJavaScript(Scripts::fitToView(zoom), QWebEngineScript::ApplicationWorld);
}

void TBrowserView::SetZoom(int step)
{
    FZoomStep = std::clamp(step, 0, static_cast<int>(kTextSizes.size()) - 1);
    FPage->settings()->setFontSize(QWebEngineSettings::DefaultFontSize, kTextSizes[static_cast<std::size_t>(FZoomStep)]);
}

bool TBrowserView::IsMaskedShortcut(const QString &letters, int key, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers m = modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (letters.isEmpty() || m != Qt::ControlModifier || key <= 0 || key > 0xFFFF)
        return false;
    // Letter keys are reported by their upper-case letter.
    return letters.contains(QChar(key), Qt::CaseSensitive);
}

void TBrowserView::SetDisabledPopupMenus(const QList<TIEPopupMenu> &menus)
{
    FDisabledPopupMenus = menus;
    setContextMenuPolicy(menus.contains(TIEPopupMenu::rcmAll) ? Qt::NoContextMenu : Qt::DefaultContextMenu);
}

void TBrowserView::childEvent(QChildEvent *event)
{
    // The engine's widget that takes the page's keys and drops comes and goes
    // with the page's renderer; every one is watched.
    if (event->type() == QEvent::ChildPolished && event->child()->isWidgetType())
        event->child()->installEventFilter(this);
    QWebEngineView::childEvent(event);
}

bool TBrowserView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched->parent() != this)
        return QWebEngineView::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (IsMaskedShortcut(FDisableCtrlShortcuts, key->key(), key->modifiers())) {
            event->accept();
            return true; // neither the page's scripts nor the engine see it
        }
        if (event->type() == QEvent::KeyPress && !key->isAutoRepeat())
            noteReaderGesture(QString());
        break;
    }
    case QEvent::MouseButtonPress:
        noteReaderGesture(FHoveredLink);
        break;
    case QEvent::Wheel: {
        // The engine would zoom by itself, out of the program's sight (the
        // zoom box and the hint line would not know): the owner zooms.
        auto *wheel = static_cast<QWheelEvent *>(event);
        if ((wheel->modifiers() & Qt::ControlModifier) == 0)
            break;
        FZoomWheel += wheel->angleDelta().y();
        while (std::abs(FZoomWheel) >= QWheelEvent::DefaultDeltasPerStep) {
            const int direction = FZoomWheel > 0 ? 1 : -1;
            FZoomWheel -= direction * QWheelEvent::DefaultDeltasPerStep;
            if (OnZoomWheel)
                OnZoomWheel(this, direction);
        }
        wheel->accept();
        return true;
    }
    case QEvent::Drop:
        if (handleDrop(static_cast<QDropEvent *>(event)))
            return true;
        break;
    default:
        break;
    }
    return QWebEngineView::eventFilter(watched, event);
}

void TBrowserView::noteReaderGesture(const QString &link)
{
    FReaderGesture = {TPrefetchState::NowMs(), link};
}

bool TBrowserView::TakeReaderGesture()
{
    const qint64 at = FReaderGesture.atMs;
    FReaderGesture = {};
    return at >= 0 && TPrefetchState::NowMs() - at <= kGestureMs;
}

bool TBrowserView::ReaderClickedLink(const QUrl &url) const
{
    if (FReaderGesture.atMs < 0 || TPrefetchState::NowMs() - FReaderGesture.atMs > kGestureMs)
        return false;
    // The engine says which link is under the pointer a moment after the
    // pointer got there: on a quick click, only the link it says now.
    const QUrl wanted = url.adjusted(QUrl::RemoveFragment);
    for (const QString &link : {FReaderGesture.link, FHoveredLink})
        if (!link.isEmpty() && QUrl(link).adjusted(QUrl::RemoveFragment) == wanted)
            return true;
    return false;
}

void TBrowserView::dropEvent(QDropEvent *event)
{
    // The engine's widget hands a drag it is entered by to the view, and Qt
    // then sends the rest of the drag, the drop too, to the view itself.
    if (!handleDrop(event))
        QWebEngineView::dropEvent(event);
}

bool TBrowserView::handleDrop(QDropEvent *drop)
{
    // A link or a file dropped on the page opens here, as a link would:
    // through the navigation hook, so the mode and the tracking apply.
    const QMimeData *data = drop->mimeData();
    if (!data || !data->hasUrls() || EditableHasFocus())
        return false;
    // The engine's side of the drag ends here, without a drop.
    QDragLeaveEvent leave;
    QWebEngineView::dragLeaveEvent(&leave);
    // A page can start a drag itself; what it carries is opened only as a
    // web page or a file. A javascript: or an own address would run in, or
    // as, the document shown, perhaps our start page.
    const QUrl url = data->urls().value(0);
    if (IsDroppableAddress(url)) {
        drop->acceptProposedAction();
        loadInternal(url, false);
    } else {
        drop->setDropAction(Qt::IgnoreAction);
        drop->accept();
    }
    return true;
}

double TBrowserView::ScrollRatio() const
{
    const double height = FPage->contentsSize().height();
    if (height <= 0)
        return 0;
    return std::clamp(FPage->scrollPosition().y() / height, 0.0, 1.0);
}

void TBrowserView::ScrollToRatio(double ratio)
{
    if (FShutDown || !std::isfinite(ratio))
        return;
    FPage->runJavaScript(QStringLiteral("window.scrollTo(window.scrollX,%1*document.documentElement.scrollHeight)")
                             .arg(std::clamp(ratio, 0.0, 1.0), 0, 'g', 12),
                         QWebEngineScript::ApplicationWorld);
}

bool TBrowserView::IsDroppableAddress(const QUrl &url)
{
    if (!url.isValid() || url.isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("file");
}

void TBrowserView::setOwnDocumentScript(const QString &name, int injectionPoint, const QString &source)
{
    for (const auto &script : FPage->scripts().find(name))
        FPage->scripts().remove(script);
    if (source.isEmpty())
        return;
    QWebEngineScript script;
    script.setName(name);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setInjectionPoint(QWebEngineScript::InjectionPoint(injectionPoint));
    script.setRunsOnSubFrames(false);
    script.setSourceCode(QStringLiteral("if(location.protocol==='lekto:'){") + source + QLatin1Char('}'));
    FPage->scripts().insert(script);
}

void TBrowserView::SetOwnDocumentStyle(const QString &css)
{
    setOwnDocumentScript(QStringLiteral("lekto-style"), QWebEngineScript::DocumentCreation,
                         css.isEmpty() ? QString() : Scripts::addStyleSheet(css));
}

// A document from a custom scheme reaches the renderer in 64 KiB pieces, and
// each piece is styled and laid out before the next is parsed: whatever a
// piece lays out again in full makes a long document quadratic. And laying
// out twenty thousand rows at the end still took half a second that the
// reader, looking at the first screenful, does not need.
void TBrowserView::SetOwnDocumentRowsAsNeeded(const QString &rowSelector, int first, int rowHeight)
{
    setOwnDocumentScript(QStringLiteral("lekto-rows"), QWebEngineScript::DocumentCreation,
                         rowSelector.isEmpty() ? QString() : Scripts::rowsAsNeeded(rowSelector, first, rowHeight));
}

bool TBrowserView::EditableHasFocus() const
{
    const QWidget *proxy = focusProxy();
    return proxy && proxy->inputMethodQuery(Qt::ImEnabled).toBool();
}

void TBrowserView::SetFocus()
{
    if (isVisible() && isEnabled())
        setFocus(Qt::OtherFocusReason);
}
