// Pure against half-pure mode on the saved real pages, served at their own
// addresses through a logging proxy: requests and bytes fetched, and the time
// to completion, each page in both modes side by side.
#include "headless.h"
#include "eventwait.h"
#include "lekto.h"
#include "realpages.h"
#include "testhttpserver.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtNetwork/QNetworkProxy>
#include <QtWidgets/QApplication>

#include <benchmark/benchmark.h>

namespace {

TestHttpServer *gProxy = nullptr;

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
    qint64 requests = 0, bytes = 0;
    for (auto _ : state) {
        const int from = int(gProxy->requests().size());
        QElapsedTimer t;
        t.start();
        window.WB1->Navigate2(page.address + QStringLiteral("?run=%1").arg(completions));
        waitFor(completions + 1);
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        spin(300); // late requests still count
        const auto log = gProxy->requests().mid(from);
        requests = log.size();
        bytes = 0;
        for (const auto &r : log)
            bytes += r.responseBytes;
    }
    state.counters["requests"] = double(requests);
    state.counters["bytes"] = double(bytes);
}

} // namespace

int main(int argc, char **argv)
{
    PrepareHeadlessEngine();
    QApplication app(argc, argv);
    TestHttpServer proxy;
    gProxy = &proxy;
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", proxy.port()));
    for (const RealPage &p : realPages()) {
        QFile f(QStringLiteral(LEKTO_FIXTURES "/") + p.file);
        if (!f.open(QIODevice::ReadOnly) || p.file.startsWith(QLatin1String("popups/")))
            continue;
        proxy.route(p.address.toLatin1(), TestHttpServer::Response{200, "text/html", f.readAll(), {}, false});
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
    benchmark::Shutdown();
}
