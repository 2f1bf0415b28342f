#include "browserpage.h"

#include "browserview.h"
#include "requestpolicy.h"

TRequestFilter::TRequestFilter(TBrowserView *view) : QWebEngineUrlRequestInterceptor(view), FView(view)
{
}

void TRequestFilter::interceptRequest(QWebEngineUrlRequestInfo &info)
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

TBrowserPage::TBrowserPage(QWebEngineProfile *profile, TBrowserView *view) : QWebEnginePage(profile, view), FView(view)
{
}

bool TBrowserPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    return FView->beforeNavigate(url, type, isMainFrame);
}

bool TBrowserPage::quiet() const
{
    return FView->Silent() || !FView->isVisible();
}

void TBrowserPage::javaScriptAlert(const QUrl &origin, const QString &msg)
{
    if (!quiet())
        QWebEnginePage::javaScriptAlert(origin, msg);
}

bool TBrowserPage::javaScriptConfirm(const QUrl &origin, const QString &msg)
{
    return quiet() ? false : QWebEnginePage::javaScriptConfirm(origin, msg);
}

bool TBrowserPage::javaScriptPrompt(const QUrl &origin, const QString &msg, const QString &def, QString *result)
{
    return quiet() ? false : QWebEnginePage::javaScriptPrompt(origin, msg, def, result);
}
