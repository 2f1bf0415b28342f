// The start page at scale (1k, 10k and 20k entries): building the listing,
// and showing the page, beside a bare QWebEngineView loading the very same
// HTML from a file: the engine's own limit for that document.
//
// "Shown" is the same in both: from the request until the load has completed
// and the engine has laid the whole document out (its height read back).
#include "eventwait.h"
#include "headless.h"
#include "lekto.h"
#include "lektohistory.h"
#include "ownpages.h"
#include "ratioreporter.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtWebEngineCore/QWebEnginePage>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWebEngineCore/QWebEngineSettings>
#include <QtWebEngineWidgets/QWebEngineView>
#include <QtWidgets/QApplication>

#include <benchmark/benchmark.h>

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

    // Shows the start page again; answers the nanoseconds until it is laid out.
    qint64 show()
    {
        QElapsedTimer t;
        t.start();
        window->ShowStartPage();
        const int target = completions + 1;
        waitUntil([&] { return completions >= target; }, 120000);
        waitForAnswer(window->WB1->page(), kLaidOut);
        return t.nsecsElapsed();
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

void BM_ShowStartPage(benchmark::State &state)
{
    StartPageWindow w(int(state.range(0)));
    for (auto _ : state)
        state.SetIterationTime(double(w.show()) / 1e9);
    state.counters["html_KiB"] = double(OwnPages::Served(w.window->WB1->url()).size()) / 1024;
}
BENCHMARK(BM_ShowStartPage)->Arg(1000)->Arg(10000)->Arg(20000)->UseManualTime()->Iterations(kRuns)->Unit(benchmark::kMillisecond);

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
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        const int target = finished + 1;
        view.load(file);
        waitUntil([&] { return finished >= target; }, 120000);
        waitForAnswer(view.page(), kLaidOut);
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_BareViewFile)->Arg(1000)->Arg(10000)->Arg(20000)->UseManualTime()->Iterations(kRuns)->Unit(benchmark::kMillisecond);

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
    }
    RatioReporter reporter(pairs);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
