// A view's side of turning chapters: finding the links, opening them, and
// fetching the next chapter ahead.
#include "browserview.h"

#include "browserpage.h"
#include "scripts.h"

#include <QtCore/QPointer>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWebEngineCore/QWebEngineScriptCollection>

namespace {

const QString kPrefetchId = QStringLiteral("lekto-prefetch");

} // namespace

void TBrowserView::installChapterWatch()
{
    QWebEngineScript script;
    script.setName(QStringLiteral("lekto-chapter-watch"));
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(ChapterLinks::WatchScript());
    FPage->scripts().insert(script);
}

void TBrowserView::FindChapterLinks(std::function<void(const TChapterLinks &)> done)
{
    QPointer<TBrowserView> self(this);
    FPage->runJavaScript(ChapterLinks::FindScript(), QWebEngineScript::ApplicationWorld, [self, done](const QVariant &v) {
        if (Answered(self, v) && done)
            done(ChapterLinks::FromAnswer(v));
    });
}

void TBrowserView::OpenChapter(const QUrl &url, const TChapterLinks &from)
{
    FPage->runJavaScript(ChapterLinks::OpenScript(url, from.document), QWebEngineScript::ApplicationWorld);
}

void TBrowserView::Prefetch(const TChapterLinks &from)
{
    if (!TPrefetchState::Worth(from.page, from.next)) {
        StopPrefetch();
        return;
    }
    if (FPrefetch.IsOurs(from.next) && FPrefetch.From() == from.page)
        return;
    FPrefetch.Start(from.next, from.page, TPrefetchState::NowMs());
    // The document's own prefetch: the engine keeps the copy for the page's
    // site, where the turn will look for it.
    FPage->runJavaScript(QStringLiteral("(function(u,d,id){if(window.lektoChapterDoc!==d)return;"
                                        "var o=document.getElementById(id);if(o)o.remove();"
                                        "var l=document.createElement('link');l.id=id;l.rel='prefetch';l.href=u;"
                                        "(document.head||document.documentElement).appendChild(l);})(%1,%2,%3)")
                             .arg(Scripts::jsString(FPrefetch.Target().toString(QUrl::FullyEncoded)),
                                  Scripts::jsString(from.document), Scripts::jsString(kPrefetchId)),
                         QWebEngineScript::ApplicationWorld);
}

void TBrowserView::StopPrefetch()
{
    if (!FPrefetch.Active())
        return;
    FPrefetch.Clear();
    FPage->runJavaScript(QStringLiteral("(function(id){var o=document.getElementById(id);if(o)o.remove();})(%1)")
                             .arg(Scripts::jsString(kPrefetchId)),
                         QWebEngineScript::ApplicationWorld);
}
