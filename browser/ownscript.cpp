#include "browserview.h"

#include "ownpages.h"

#include <QtWebEngineCore/QWebEnginePage>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineCore/QWebEngineScript>

void TBrowserView::RunInOwnDocument(const QString &script)
{
    if (FShutDown || !ShowsOwnDocument())
        return;
    // No answer is waited for: the document may be gone before it comes.
    FPage->runJavaScript(script, QWebEngineScript::ApplicationWorld);
}

QByteArray TBrowserView::UserAgent() const
{
    return FPage->profile()->httpUserAgent().toUtf8();
}
