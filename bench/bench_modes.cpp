// Pure against half-pure mode on a simulated web. The saved real pages are
// served at their own addresses through a proxy; everything they ask for
// beyond themselves (scripts, style sheets, pictures, fonts, media, frames,
// on their own site or any other) is answered after 80 ms with a body of the
// typical size of its kind. Per page and in total: requests, bytes and the
// time to completion in each mode, and their ratios.
#include "eventwait.h"
#include "headless.h"
#include "lekto.h"
#include "realpages.h"
#include "simweb.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtNetwork/QNetworkProxy>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWidgets/QApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int kDelayMs = 80;
// After completion, what a page still asks for counts until the web has been
// quiet this long (at most kLateMs).
constexpr int kQuietMs = 400;
constexpr int kLateMs = 5000;

TSimulatedWeb *gWeb = nullptr;

struct Figures {
    double ms = 0;
    double requests = 0;
    double bytes = 0;
    std::vector<double> kindBytes = std::vector<double>(TSimulatedWeb::kinds().size());
};
std::map<std::string, std::map<bool, Figures>> gResults; // page -> half-pure? -> means

void waitForQuiet()
{
    waitUntil([] { return gWeb->inFlight() == 0 && gWeb->quietFor() >= kQuietMs; }, kLateMs);
}

void runPage(benchmark::State &state, const RealPage &page, bool halfPure)
{
    QTemporaryDir dir;
    TFLekto window(dir.filePath(QStringLiteral("LektoBookmarks.lkt")));
    int completions = 0;
    CountCompletions(window.WB1, &completions);
    auto waitFor = [&](int n) { waitUntil([&] { return completions >= n; }, 60000); };
    window.resize(859, 591);
    window.show();
    waitFor(1);
    if (halfPure) {
        window.pHalfClick();
        waitFor(2);
    }
    waitForQuiet();
    Figures sum;
    int runs = 0;
    for (auto _ : state) {
        const TSimulatedWeb::Count before = gWeb->total();
        std::vector<TSimulatedWeb::Count> kindsBefore;
        for (int k = 0; k < int(TSimulatedWeb::kinds().size()); ++k)
            kindsBefore.push_back(gWeb->ofKind(k));
        QElapsedTimer t;
        t.start();
        const int target = completions + 1;
        window.WB1->Navigate2(page.address + QStringLiteral("?run=%1").arg(completions));
        waitFor(target);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1000);
        waitForQuiet();
        const TSimulatedWeb::Count after = gWeb->total();
        sum.ms += ms;
        sum.requests += after.requests - before.requests;
        sum.bytes += double(after.bytes - before.bytes);
        for (int k = 0; k < int(kindsBefore.size()); ++k)
            sum.kindBytes[size_t(k)] += double(gWeb->ofKind(k).bytes - kindsBefore[size_t(k)].bytes);
        ++runs;
    }
    Figures mean;
    mean.ms = sum.ms / runs;
    mean.requests = sum.requests / runs;
    mean.bytes = sum.bytes / runs;
    for (size_t k = 0; k < sum.kindBytes.size(); ++k)
        mean.kindBytes[k] = sum.kindBytes[k] / runs;
    gResults[page.file.toStdString()][halfPure] = mean;
    state.counters["requests"] = mean.requests;
    state.counters["KiB"] = mean.bytes / 1024;
}

double ratio(double a, double b)
{
    return b > 0 ? a / b : 0;
}

void printComparison()
{
    std::printf("\nPure against half-pure on a simulated web (%d ms per response not in the fixtures), means of the runs:\n",
                kDelayMs);
    std::printf("%-44s %22s   %22s   %s\n", "", "pure", "half-pure", "half-pure / pure");
    std::printf("%-44s %6s %8s %6s   %6s %8s %6s   %6s %6s %6s\n", "page", "req", "KiB", "ms", "req", "KiB", "ms", "req",
                "bytes", "time");
    Figures pure, half;
    for (const auto &[name, modes] : gResults) {
        if (!modes.count(false) || !modes.count(true))
            continue;
        const Figures &p = modes.at(false), &h = modes.at(true);
        std::printf("%-44s %6.0f %8.0f %6.0f   %6.0f %8.0f %6.0f   %6.2f %6.2f %6.2f\n", name.c_str(), p.requests,
                    p.bytes / 1024, p.ms, h.requests, h.bytes / 1024, h.ms, ratio(h.requests, p.requests),
                    ratio(h.bytes, p.bytes), ratio(h.ms, p.ms));
        for (Figures *total : {&pure, &half}) {
            const Figures &f = total == &pure ? p : h;
            total->ms += f.ms;
            total->requests += f.requests;
            total->bytes += f.bytes;
            for (size_t k = 0; k < f.kindBytes.size(); ++k)
                total->kindBytes[k] += f.kindBytes[k];
        }
    }
    std::printf("%-44s %6.0f %8.0f %6.0f   %6.0f %8.0f %6.0f   %6.2f %6.2f %6.2f\n", "total", pure.requests,
                pure.bytes / 1024, pure.ms, half.requests, half.bytes / 1024, half.ms, ratio(half.requests, pure.requests),
                ratio(half.bytes, pure.bytes), ratio(half.ms, pure.ms));
    std::printf("\nKiB by kind, all pages:   ");
    for (size_t k = 0; k < pure.kindBytes.size(); ++k)
        std::printf("%s %.0f / %.0f   ", TSimulatedWeb::kinds()[int(k)].name, pure.kindBytes[k] / 1024,
                    half.kindBytes[k] / 1024);
    std::printf("(pure / half-pure)\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    PrepareHeadlessEngine();
    QApplication app(argc, argv);
    TSimulatedWeb web(kDelayMs);
    gWeb = &web;
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", web.port()));
    TBrowserView::Profile()->setUrlRequestInterceptor(new TPlainHttpOnly(&app));
    for (const RealPage &p : realPages()) {
        QFile f(QStringLiteral(LEKTO_FIXTURES "/") + p.file);
        if (!f.open(QIODevice::ReadOnly) || p.file.startsWith(QLatin1String("popups/")))
            continue;
        web.servePage(p.address.toLatin1(), f.readAll());
        for (bool half : {false, true}) {
            const std::string name = p.file.toStdString() + (half ? " half-pure" : " pure");
            benchmark::RegisterBenchmark(name.c_str(), [p, half](benchmark::State &s) { runPage(s, p, half); })
                ->UseManualTime()
                ->Iterations(3)
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    printComparison();
    benchmark::Shutdown();
}
