// The start page at scale (1k, 10k and 20k entries): building the listing,
// and showing the page, beside a bare QWebEngineView loading the very same
// HTML from a file: the engine's own limit for that document. The page is
// shown two ways: over itself (a command on it, or 起始页 pressed on it: the
// engine replaces the document in the same renderer, which also has to let go
// of the old one) and from a chapter (the reader coming back from a book: the
// engine starts the page afresh, as the bare view does for every file).
//
// Two moments, the same in both: the first rows painted (seen in a grab of the
// view: row-coloured text where the first screenful's lower rows stand), and
// complete (the load has completed and the engine has laid the whole document
// out, its height read back). Between runs the view is blanked and grabbed
// clean, so that what is seen is the new document's paint.
//
// Also the counts of new chapters put into a long start page.
#include "bookkey.h"
#include "contentslist.h"
#include "eventwait.h"
#include "headless.h"
#include "lekto.h"
#include "lektohistory.h"
#include "ownpages.h"
#include "ratioreporter.h"
#include "startpagerows.h"
#include "testhttpserver.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QSettings>
#include <QtCore/QTemporaryDir>
#include <QtGui/QImage>
#include <QtWebEngineCore/QWebEnginePage>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWebEngineCore/QWebEngineSettings>
#include <QtWebEngineWidgets/QWebEngineView>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace {

constexpr int kRuns = 5;
const QString kLaidOut = QStringLiteral("document.documentElement.scrollHeight");

QTemporaryDir &dir()
{
    static QTemporaryDir d;
    return d;
}

QString historyWith(int entries)
{
    const QString path = dir().filePath(QStringLiteral("sp%1/LektoBookmarks.lkt").arg(entries));
    if (!QFile::exists(path)) {
        QDir().mkpath(QFileInfo(path).path());
        TLektoHistory h(path);
        for (int i = 0; i < entries; ++i)
            h.AddHis(QStringLiteral("http://www.example.com/book%1/chapter%1.html").arg(i), QStringLiteral("第%1章 风起云涌").arg(i));
        for (int i = 0; i < entries / 10; ++i)
            h.ToBm2(0);
        h.SaveHis();
        // The books' sites are made up: nobody asks them for new chapters.
        QSettings(QFileInfo(path).dir().filePath(QStringLiteral("Lekto.ini")), QSettings::IniFormat)
            .setValue(QStringLiteral("newChapters/check"), false);
    }
    return path;
}

// Waits for a script's answer in the application world.
void waitForAnswer(QWebEnginePage *page, const QString &script)
{
    bool answered = false;
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant &) { answered = true; });
    waitUntil([&] { return answered; }, 120000);
}

// Blanks what the view shows, and waits until a grab shows it blank.
void blank(QWidget *view, QWebEnginePage *page)
{
    waitForAnswer(page, QStringLiteral("if(document.documentElement)document.documentElement.style.visibility='hidden'"));
    waitUntil([&] { return !StartPageRowsShown(view); }, 120000);
}

struct Timing {
    double firstRows = 0, complete = 0; // milliseconds
};

// From now until the view shows rows, and until the load has completed and
// the document is laid out. `loaded` answers whether the load has completed.
template<typename Loaded>
Timing watch(QWidget *view, QWebEnginePage *page, const QElapsedTimer &t, Loaded loaded)
{
    Timing r;
    waitUntil([&] {
        if (r.firstRows <= 0 && StartPageRowsShown(view))
            r.firstRows = double(t.nsecsElapsed()) / 1e6;
        return r.firstRows > 0 && loaded();
    }, 120000);
    waitUntil(loaded, 120000);
    waitForAnswer(page, kLaidOut);
    r.complete = double(t.nsecsElapsed()) / 1e6;
    if (r.firstRows <= 0 || r.firstRows > r.complete)
        r.firstRows = r.complete;
    return r;
}

// Lekto's window on a history of `entries`, its start page shown once.
struct StartPageWindow {
    std::unique_ptr<TFLekto> window;
    int completions = 0;

    explicit StartPageWindow(int entries) : window(std::make_unique<TFLekto>(historyWith(entries)))
    {
        CountCompletions(window->WB1, &completions);
        window->resize(859, 591);
        window->show();
        waitUntil([&] { return completions >= 1; }, 120000);
    }

    // Shows the start page again, over itself.
    Timing show()
    {
        blank(window->WB1, window->WB1->page());
        QElapsedTimer t;
        t.start();
        window->ShowStartPage();
        const int target = completions + 1;
        return watch(window->WB1, window->WB1->page(), t, [&] { return completions >= target; });
    }
};

// Opens a chapter as the reader does, then comes back to the start page.
struct FromChapter {
    TestHttpServer server;
    FromChapter()
    {
        QByteArray text;
        for (int i = 0; i < 60; ++i)
            text += "<p>\xe9\x9b\xa8\xe4\xb8\x8b\xe4\xba\x86\xe4\xb8\x80\xe5\xa4\x9c\xe3\x80\x82</p>"; // 雨下了一夜。
        server.route("/book/1.html", "<html><head><title>1</title></head><body>" + text + "</body></html>");
    }

    Timing show(StartPageWindow &w)
    {
        const int opened = w.completions + 1;
        w.window->EdUrl->setText(server.url(QStringLiteral("/book/1.html")));
        w.window->BtnGo->click();
        waitUntil([&] { return w.completions >= opened; }, 120000);
        waitUntil([&] { return !StartPageRowsShown(w.window->WB1); }, 120000);
        QElapsedTimer t;
        t.start();
        w.window->ShowStartPage();
        const int target = w.completions + 1;
        return watch(w.window->WB1, w.window->WB1->page(), t, [&] { return w.completions >= target; });
    }
};

// The start page's own bytes, written to a file of their own.
QString startPageFile(int entries)
{
    const QString path = dir().filePath(QStringLiteral("startpage%1.html").arg(entries));
    if (!QFile::exists(path)) {
        StartPageWindow w(entries);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(OwnPages::Served(w.window->WB1->url())) <= 0)
            qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

// Means of every run, by name and size, for the table at the end.
std::map<std::pair<std::string, int>, Timing> gMeans;

void record(benchmark::State &state, const char *name, const std::vector<Timing> &runs)
{
    Timing m;
    for (const Timing &r : runs) {
        m.firstRows += r.firstRows / double(runs.size());
        m.complete += r.complete / double(runs.size());
    }
    gMeans[{name, int(state.range(0))}] = m;
    state.counters["first_rows_ms"] = m.firstRows;
    state.counters["complete_ms"] = m.complete;
}

void BM_GetHisHtmCode(benchmark::State &state)
{
    TLektoHistory h(historyWith(int(state.range(0))));
    qint64 bytes = 0;
    for (auto _ : state) {
        const QString code = h.GetHisHtmCode();
        bytes = code.size() * 2;
        benchmark::DoNotOptimize(code.size());
    }
    state.counters["page_KiB"] = double(bytes) / 1024;
}
BENCHMARK(BM_GetHisHtmCode)->Arg(1000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);

// Iteration time: until complete; the first rows are a counter.
void BM_ShowStartPage(benchmark::State &state)
{
    StartPageWindow w(int(state.range(0)));
    std::vector<Timing> runs;
    for (auto _ : state) {
        runs.push_back(w.show());
        state.SetIterationTime(runs.back().complete / 1e3);
    }
    record(state, "lekto", runs);
    state.counters["html_KiB"] = double(OwnPages::Served(w.window->WB1->url()).size()) / 1024;
}
BENCHMARK(BM_ShowStartPage)->Arg(1000)->Arg(10000)->Arg(20000)->UseManualTime()->Iterations(kRuns)->Unit(benchmark::kMillisecond);

void BM_StartPageFromChapter(benchmark::State &state)
{
    StartPageWindow w(int(state.range(0)));
    FromChapter chapter;
    std::vector<Timing> runs;
    for (auto _ : state) {
        runs.push_back(chapter.show(w));
        state.SetIterationTime(runs.back().complete / 1e3);
    }
    record(state, "from a chapter", runs);
}
BENCHMARK(BM_StartPageFromChapter)->Arg(1000)->Arg(10000)->Arg(20000)->UseManualTime()->Iterations(kRuns)->Unit(benchmark::kMillisecond);

// Reading down a long start page: a scroll of twelve screens at a time, each
// bringing in the rows it reaches, timed in the page from the scroll until
// the rows are laid out (the longest and the mean of 20 steps).
void BM_ScrollIntoHeldRows(benchmark::State &state)
{
    StartPageWindow w(int(state.range(0)));
    QVariantList figures;
    for (auto _ : state) {
        bool answered = false;
        w.window->WB1->page()->runJavaScript(
            QStringLiteral("(function(){var worst=0,sum=0;for(var i=0;i<20;i++){var t=performance.now();"
                           "window.scrollBy(0,12*innerHeight);window.dispatchEvent(new Event('scroll'));"
                           "document.body.getBoundingClientRect();var d=performance.now()-t;sum+=d;if(d>worst)worst=d;}"
                           "window.scrollTo(0,0);return [worst,sum/20];})()"),
            QWebEngineScript::ApplicationWorld, [&](const QVariant &v) {
                figures = v.toList();
                answered = true;
            });
        waitUntil([&] { return answered; }, 120000);
    }
    if (figures.size() == 2) {
        state.counters["worst_step_ms"] = figures[0].toDouble();
        state.counters["mean_step_ms"] = figures[1].toDouble();
    }
}
BENCHMARK(BM_ScrollIntoHeldRows)->Arg(20000)->Iterations(1)->Unit(benchmark::kMillisecond);

// New chapters known for every tenth book: from the start page's completion
// until the counts stand in their rows.
void BM_NewChapterCounts(benchmark::State &state)
{
    const int entries = int(state.range(0));
    StartPageWindow w(entries);
    for (int i = 0; i < entries; i += 10) {
        const QString url = QStringLiteral("http://www.example.com/book%1/chapter%1.html").arg(i);
        TUpdateStore::TBook &b = w.window->FUpdates.Book(BookKey::Split(url).book);
        b.place = ContentsList::Bare(url);
        b.count = 3;
        b.newestTitle = QStringLiteral("第%1章 山雨欲来").arg(i + 3);
    }
    QWebEnginePage *page = w.window->WB1->page();
    for (auto _ : state) {
        const int target = w.completions + 1;
        w.window->ShowStartPage();
        waitUntil([&] { return w.completions >= target; }, 120000);
        QElapsedTimer t;
        t.start();
        waitForAnswer(page, QStringLiteral("1")); // runs after the counts, sent at completion
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
    }
    bool answered = false;
    page->runJavaScript(QStringLiteral("document.querySelectorAll('span.lekto-new').length"),
                        QWebEngineScript::ApplicationWorld, [&](const QVariant &v) {
                            state.counters["counts_shown"] = v.toDouble();
                            answered = true;
                        });
    waitUntil([&] { return answered; }, 120000);
}
BENCHMARK(BM_NewChapterCounts)->Arg(20000)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// A bare view in the engine's default profile, loading the same HTML from a file.
void BM_BareViewFile(benchmark::State &state)
{
    const QUrl file = QUrl::fromLocalFile(startPageFile(int(state.range(0))));
    QWebEngineView view;
    // The file has no charset of its own; the engine is told what our scheme tells it.
    view.settings()->setDefaultTextEncoding(QStringLiteral("utf-8"));
    int finished = 0;
    QObject::connect(&view, &QWebEngineView::loadFinished, &view, [&] { ++finished; });
    view.resize(859, 591 - 150); // the start page's share of Lekto's window
    view.show();
    view.load(QUrl(QStringLiteral("about:blank")));
    waitUntil([&] { return finished >= 1; }, 120000);
    std::vector<Timing> runs;
    for (auto _ : state) {
        blank(&view, view.page());
        QElapsedTimer t;
        t.start();
        const int target = finished + 1;
        view.load(file);
        runs.push_back(watch(&view, view.page(), t, [&] { return finished >= target; }));
        state.SetIterationTime(runs.back().complete / 1e3);
    }
    record(state, "bare", runs);
}
BENCHMARK(BM_BareViewFile)->Arg(1000)->Arg(10000)->Arg(20000)->UseManualTime()->Iterations(kRuns)->Unit(benchmark::kMillisecond);

void printTable()
{
    std::printf("\nstart page, mean of %d runs, from the request (ms):\n"
                "  entries  shown             first rows: Lekto    bare   Lekto/bare   complete: Lekto     bare   Lekto/bare\n",
                kRuns);
    for (int n : {1000, 10000, 20000}) {
        if (!gMeans.count({"bare", n}))
            continue;
        const Timing b = gMeans[{"bare", n}];
        for (const char *way : {"lekto", "from a chapter"}) {
            if (!gMeans.count({way, n}))
                continue;
            const Timing l = gMeans[{way, n}];
            std::printf("  %7d  %-16s %13.1f %7.1f %12.2f   %15.1f %8.1f %12.2f\n", n,
                        std::strcmp(way, "lekto") == 0 ? "over itself" : way, l.firstRows, b.firstRows,
                        l.firstRows / b.firstRows, l.complete, b.complete, l.complete / b.complete);
        }
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    PrepareHeadlessEngine();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const char *n : {"1000", "10000", "20000"}) {
        const std::string runs = "/iterations:" + std::to_string(kRuns) + "/manual_time";
        pairs.emplace_back(std::string("BM_ShowStartPage/") + n + runs, std::string("BM_BareViewFile/") + n + runs);
        pairs.emplace_back(std::string("BM_StartPageFromChapter/") + n + runs, std::string("BM_BareViewFile/") + n + runs);
    }
    RatioReporter reporter(pairs);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printTable();
    benchmark::Shutdown();
}
