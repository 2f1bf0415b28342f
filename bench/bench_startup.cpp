// Start-up: a fresh process creating Lekto's main window until its start page
// has completed, against a fresh process with a bare QWebEngineView loading
// about:blank, measured side by side. Also the memory of the running program
// with its three views (its own peak and that of the engine processes).
#include "headless.h"
#include "lekto.h"
#include "procstats.h"
#include "ratioreporter.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWebEngineWidgets/QWebEngineView>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

namespace {

QString gSelf;

// Runs one child and answers the milliseconds it reports from its start to
// its first completed load (the process start itself counts, as for a reader).
double runChild(const char *mode, QString *memory = nullptr)
{
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(gSelf, {QString::fromLatin1(mode)});
    p.waitForFinished(120000);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    if (memory)
        *memory = out.trimmed();
    return p.exitCode() == 0 ? ms : -1;
}

void BM_Start(benchmark::State &state, const char *mode)
{
    QString memory;
    for (auto _ : state) {
        const double ms = runChild(mode, &memory);
        if (ms < 0)
            state.SkipWithError("the child failed");
        state.SetIterationTime(ms / 1000.0);
    }
    state.SetLabel(memory.toStdString());
}
BENCHMARK_CAPTURE(BM_Start, Lekto, "--child-lekto")->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Start, BareView, "--child-bare")->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void printMemory()
{
    const MemoryFigures m = memoryFigures();
    std::printf("peak %ld MiB, engine processes %d: rss %ld MiB, peak %ld MiB\n", m.ownPeakKb / 1024, m.children,
                m.childrenRssKb / 1024, m.childrenPeakKb / 1024);
    std::fflush(stdout);
}

int childLekto(int argc, char **argv)
{
    PrepareHeadlessEngine();
    QApplication app(argc, argv);
    QTemporaryDir dir;
    TFLekto window(dir.filePath(QStringLiteral("LektoBookmarks.lkt")));
    auto handler = window.WB1->OnDocumentComplete;
    window.WB1->OnDocumentComplete = [&](TBrowserView *v, TBrowserObject d, QString &u) {
        handler(v, d, u);
        QTimer::singleShot(300, &app, [&] { // let the engine processes settle
            printMemory();
            app.quit();
        });
    };
    window.resize(859, 591);
    window.show();
    return app.exec();
}

int childBare(int argc, char **argv)
{
    BrowserHostStart();
    QApplication app(argc, argv);
    QWebEngineView view;
    QObject::connect(&view, &QWebEngineView::loadFinished, &app, [&] {
        QTimer::singleShot(300, &app, [&] {
            printMemory();
            app.quit();
        });
    });
    view.resize(859, 591);
    view.show();
    view.load(QUrl(QStringLiteral("about:blank")));
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && std::strcmp(argv[1], "--child-lekto") == 0)
        return childLekto(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--child-bare") == 0)
        return childBare(argc, argv);

    QCoreApplication app(argc, argv);
    gSelf = QCoreApplication::applicationFilePath();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(std::vector<std::pair<std::string, std::string>>{
        {"BM_Start/Lekto/iterations:5/manual_time", "BM_Start/BareView/iterations:5/manual_time"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
