// Turning a chapter with →: the time from the key press to the next
// chapter's completion, through a proxy that answers every request 200 ms
// late, with the next chapter fetched ahead and without, and the requests
// each chapter read costs. Beside them, the other ways of fetching ahead that
// were weighed: a hidden page that loads the next chapter (whose copy the
// turn, asking for a fresh one, cannot use), the same with the turn allowed
// to take the engine's cache, and a hidden page swapped into the view.
#include "dialogs.h"
#include "eventwait.h"
#include "headless.h"
#include "lekto.h"
#include "testhttpserver.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QTemporaryDir>
#include <QtNetwork/QNetworkProxy>
#include <QtTest/QTest>
#include <QtWebEngineCore/QWebEnginePage>
#include <QtWebEngineCore/QWebEngineSettings>
#include <QtWidgets/QApplication>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int kDelayMs = 200;
constexpr int kChapters = 60; // per book; every run reads a book of its own

TestHttpServer *gProxy = nullptr;
int gNextBook = 0;

enum class Ahead {
    Nothing,        // no prefetch
    LinkPrefetch,   // the program's: the document's prefetch, the turn let through to the copy
    HiddenPage,     // a hidden page loads the next chapter; the turn asks for a fresh copy
    HiddenPageCache // the same, the turn allowed to take the engine's cache
};

QByteArray chapter(int n)
{
    QByteArray body = "<title>第" + QByteArray::number(n) + "章</title><h1>第" + QByteArray::number(n) + "章</h1>";
    for (int i = 0; i < 60; ++i)
        body += "<p>第" + QByteArray::number(n) + "章正文，第" + QByteArray::number(i) + "段，一段寻常长短的文字。</p>";
    body += "<a href='" + QByteArray::number(n - 1) + ".html'>上一章</a> <a href='index.html'>目录</a> <a href='"
        + QByteArray::number(n + 1) + ".html'>下一章</a>";
    return body;
}

// A book of its own, so that nothing read before is in the cache.
QString newBook(bool cacheable)
{
    const QString book = QStringLiteral("http://book.example.com/b%1/").arg(++gNextBook);
    QList<QPair<QByteArray, QByteArray>> headers;
    if (cacheable)
        headers << qMakePair(QByteArray("Cache-Control"), QByteArray("max-age=600"));
    for (int n = 1; n <= kChapters; ++n)
        gProxy->route((book + QString::number(n) + ".html").toLatin1(),
                      TestHttpServer::Response{200, "text/html; charset=utf-8", chapter(n), headers, false});
    return book;
}

int pageRequests(const QString &book, int from)
{
    int n = 0;
    for (const auto &r : gProxy->requests().mid(from))
        n += r.target.startsWith(book.toLatin1()) ? 1 : 0;
    return n;
}

void turn(benchmark::State &state, Ahead ahead, bool cacheable)
{
    QTemporaryDir dir;
    TFLekto w(dir.filePath(QStringLiteral("LektoBookmarks.lkt")));
    int completions = 0;
    CountCompletions(w.WB1, &completions);
    auto waitFor = [&](int n) { return waitUntil([&] { return completions >= n; }, 60000); };
    w.resize(859, 591);
    w.show();
    waitFor(1);
    w.FChapterPrefetch = ahead == Ahead::LinkPrefetch;
    if (ahead == Ahead::HiddenPageCache)
        w.WB1->SetDownloadOptions(w.WB1->DownloadOptions() - TDownloadOptions{TDownloadControlOption::DownloadAndIgnoreCache});

    // The hidden page of the weighed alternatives: pure mode's options.
    QWebEnginePage hidden(TBrowserView::Profile());
    hidden.settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    hidden.settings()->setAttribute(QWebEngineSettings::AutoLoadImages, false);
    bool hiddenDone = false;
    QObject::connect(&hidden, &QWebEnginePage::loadFinished, [&] { hiddenDone = true; });

    const QString book = newBook(cacheable);
    const int from = int(gProxy->requests().size());
    int n = 1;
    w.WB1->Navigate(book + QStringLiteral("1.html"));
    waitFor(2);
    int read = 1;
    for (auto _ : state) {
        const QString next = book + QString::number(n + 1) + QStringLiteral(".html");
        // The reader reads; whatever is fetched ahead has arrived by the turn.
        if (ahead == Ahead::HiddenPage || ahead == Ahead::HiddenPageCache) {
            hiddenDone = false;
            hidden.load(QUrl(next));
            waitUntil([&] { return hiddenDone; }, 10000);
        } else if (ahead == Ahead::LinkPrefetch) {
            waitUntil([&] { return w.WB1->PrefetchState().IsOurs(QUrl(next)); }, 10000);
            waitUntil([&] { return pageRequests(next, from) > 0; }, 10000);
        }
        spin(kDelayMs + 300);
        w.WB1->SetFocus();
        const int before = completions;
        QElapsedTimer t;
        t.start();
        QTest::keyClick(w.WB1->focusProxy(), Qt::Key_Right);
        waitFor(before + 1);
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        if (w.WB1->Doc2()->URL != next)
            state.SkipWithError("the turn did not reach the next chapter");
        ++n;
        ++read;
    }
    spin(kDelayMs + 300); // a prefetch of the last chapter's next still counts
    const double perChapter = double(pageRequests(book, from)) / read;
    state.counters["requests_per_chapter"] = perChapter;
    state.counters["extra_requests_per_chapter"] = perChapter - 1;
}

// The hidden page shown in the view's place: the turn is a swap.
void swapIn(benchmark::State &state)
{
    const QString book = newBook(false);
    QWebEngineView view;
    view.resize(800, 560);
    view.show();
    int n = 1;
    QWebEnginePage *mine = nullptr; // the page shown before, when it is one of ours
    for (auto _ : state) {
        auto *page = new QWebEnginePage(TBrowserView::Profile(), &view);
        page->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        bool done = false;
        QObject::connect(page, &QWebEnginePage::loadFinished, [&] { done = true; });
        page->load(QUrl(book + QString::number(++n) + QStringLiteral(".html")));
        waitUntil([&] { return done; }, 10000);
        QElapsedTimer t;
        t.start();
        view.setPage(page);
        bool shown = false;
        page->runJavaScript(QStringLiteral("document.title"), [&](const QVariant &) { shown = true; });
        waitUntil([&] { return shown; }, 10000);
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        delete mine;
        mine = page;
    }
}

} // namespace

int main(int argc, char **argv)
{
    PrepareHeadlessEngine();
    QApplication app(argc, argv);
    Dialogs::errorReport = [](const QString &text) { std::fprintf(stderr, "error: %s\n", qPrintable(text)); };
    TestHttpServer proxy;
    gProxy = &proxy;
    proxy.delayAnswers(kDelayMs);
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", proxy.port()));

    const struct {
        const char *name;
        Ahead ahead;
    } ways[] = {
        {"prefetch off", Ahead::Nothing},
        {"prefetch on (document prefetch, turn takes the copy)", Ahead::LinkPrefetch},
        {"hidden page ahead, turn asks a fresh copy", Ahead::HiddenPage},
        {"hidden page ahead, turn may use the engine cache", Ahead::HiddenPageCache},
    };
    for (bool cacheable : {false, true})
        for (const auto &way : ways) {
            const std::string name = std::string("turn/") + way.name + (cacheable ? " [site: max-age=600]" : " [site: no cache headers]");
            const Ahead ahead = way.ahead;
            benchmark::RegisterBenchmark(name.c_str(), [ahead, cacheable](benchmark::State &s) { turn(s, ahead, cacheable); })
                ->UseManualTime()
                ->Iterations(8)
                ->Unit(benchmark::kMillisecond);
        }
    benchmark::RegisterBenchmark("turn/hidden page swapped into the view", swapIn)
        ->UseManualTime()
        ->Iterations(8)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
