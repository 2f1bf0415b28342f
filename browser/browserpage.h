#pragma once

#include <QtWebEngineCore/QWebEnginePage>
#include <QtCore/QLoggingCategory>
#include <QtWebEngineCore/QWebEngineUrlRequestInterceptor>

// A page's console messages: off unless switched on by the logging rules.
Q_DECLARE_LOGGING_CATEGORY(lcPageConsole)

class TBrowserView;

// Holds every request of a view's page to the view's download options.
class TRequestFilter : public QWebEngineUrlRequestInterceptor
{
public:
    explicit TRequestFilter(TBrowserView *view);
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
    TBrowserView *FView;
};

// The engine's page of a view: its navigation hook and its dialogs.
class TBrowserPage : public QWebEnginePage
{
public:
    TBrowserPage(QWebEngineProfile *profile, TBrowserView *view);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl &origin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &origin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &origin, const QString &msg, const QString &def, QString *result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int line,
                                  const QString &source) override;

private:
    // A view whose Silent is set, or that nobody can see, shows no dialogs.
    bool quiet() const;
    TBrowserView *FView;
};
