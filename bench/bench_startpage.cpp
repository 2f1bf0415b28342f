// The start page at scale: the listing itself, and the time from ShowStartPage
// to the page's completion in the engine, at 1k, 10k and 20k entries.
#include "headless.h"
#include "eventwait.h"
#include "lekto.h"
#include "lektohistory.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>

#include <benchmark/benchmark.h>

namespace {

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
    TFLekto window(historyWith(int(state.range(0))));
    int completions = 0;
    CountCompletions(window.WB1, &completions);
    window.resize(859, 591);
    window.show();
    auto waitFor = [&](int n) { waitUntil([&] { return completions >= n; }, 60000); };
    waitFor(1);
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        window.ShowStartPage();
        waitFor(completions + 1);
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_ShowStartPage)->Arg(1000)->Arg(10000)->Arg(20000)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    PrepareHeadlessEngine();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
