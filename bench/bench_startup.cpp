// Start-up: a fresh process creating Lekto's main window until its start page
// has completed, against fresh processes with a bare QWebEngineView, one
// loading about:blank, one loading the very document Lekto starts with from a
// file. The three run in turn, so that whatever else the machine does weighs
// on each alike; the figures are medians. Also the memory of the running
// program with its three views (its own peak and that of the engine processes).
#include "headless.h"
#include "lekto.h"
#include "ownpages.h"
#include "procstats.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtWebEngineCore/QWebEngineSettings>
#include <QtWebEngineWidgets/QWebEngineView>
#include <QtWidgets/QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

QString gSelf;
QString gStartDocument; // what Lekto shows at start, as a file

// Runs one child and answers the milliseconds from its start until it says
// that its first load has completed (the process start itself counts, as for
// a reader; the child's settling afterwards, for the memory figures, does not).
double runChild(const QStringList &args, QString *memory = nullptr)
{
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(gSelf, args);
    double ms = -1;
    while (ms < 0 && p.state() != QProcess::NotRunning && p.waitForReadyRead(120000)) {
        if (p.canReadLine() && p.readLine().trimmed() == "ready")
            ms = double(t.nsecsElapsed()) / 1e6;
    }
    p.waitForFinished(120000);
    if (memory)
        *memory = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    return p.exitCode() == 0 ? ms : -1;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void BM_StartUp(benchmark::State &state)
{
    std::vector<double> lekto, blank, document;
    QString lektoMemory, bareMemory;
    for (auto _ : state) {
        const double l = runChild({QStringLiteral("--child-lekto")}, &lektoMemory);
        const double b = runChild({QStringLiteral("--child-bare")}, &bareMemory);
        const double d = runChild({QStringLiteral("--child-bare"), gStartDocument});
        if (l < 0 || b < 0 || d < 0) {
            state.SkipWithError("a child failed");
            return;
        }
        lekto.push_back(l);
        blank.push_back(b);
        document.push_back(d);
        state.SetIterationTime(l / 1000.0);
    }
    const double ml = median(lekto), mb = median(blank), md = median(document);
    state.counters["Lekto_ms"] = ml;
    state.counters["bare_blank_ms"] = mb;
    state.counters["bare_same_doc_ms"] = md;
    state.counters["x_blank"] = ml / mb;
    state.counters["x_same_doc"] = ml / md;
    std::printf("start-up, median of %zu runs each, to the first completed load:\n"
                "  Lekto                                %7.1f ms\n"
                "  bare view, about:blank               %7.1f ms   Lekto / bare = %.2f\n"
                "  bare view, Lekto's start document    %7.1f ms   Lekto / bare = %.2f\n"
                "memory: Lekto %s\n        bare view %s\n",
                lekto.size(), ml, mb, ml / mb, md, ml / md, qPrintable(lektoMemory), qPrintable(bareMemory));
    std::fflush(stdout);
}
BENCHMARK(BM_StartUp)->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);

void printMemory()
{
    const MemoryFigures m = memoryFigures();
    std::printf("peak %ld MiB, engine processes %d: rss %ld MiB, peak %ld MiB\n", m.ownPeakKb / 1024, m.children,
                m.childrenRssKb / 1024, m.childrenPeakKb / 1024);
    std::fflush(stdout);
}

void sayReady()
{
    std::printf("ready\n");
    std::fflush(stdout);
}

// With a file name: writes the document Lekto starts with there, and ends.
int childLekto(int argc, char **argv, const char *dumpTo)
{
    PrepareHeadlessEngine();
    QApplication app(argc, argv);
    QTemporaryDir dir;
    TFLekto window(dir.filePath(QStringLiteral("LektoBookmarks.lkt")));
    auto handler = window.WB1->OnDocumentComplete;
    window.WB1->OnDocumentComplete = [&](TBrowserView *v, TBrowserObject d, QString &u) {
        handler(v, d, u);
        if (dumpTo) {
            QFile f(QString::fromLocal8Bit(dumpTo));
            app.exit(f.open(QIODevice::WriteOnly) && f.write(OwnPages::Served(window.WB1->url())) > 0 ? 0 : 1);
            return;
        }
        sayReady();
        QTimer::singleShot(300, &app, [&] { // let the engine processes settle
            printMemory();
            app.quit();
        });
    };
    window.resize(859, 591);
    window.show();
    return app.exec();
}

// Without a file: about:blank.
int childBare(int argc, char **argv, const char *file)
{
    BrowserHostStart();
    QApplication app(argc, argv);
    QWebEngineView view;
    QObject::connect(&view, &QWebEngineView::loadFinished, &app, [&] {
        sayReady();
        QTimer::singleShot(300, &app, [&] {
            printMemory();
            app.quit();
        });
    });
    view.resize(859, 591);
    view.show();
    if (file) {
        // The file has no charset of its own; the engine is told what our scheme tells it.
        view.settings()->setDefaultTextEncoding(QStringLiteral("utf-8"));
        view.load(QUrl::fromLocalFile(QString::fromLocal8Bit(file)));
    } else {
        view.load(QUrl(QStringLiteral("about:blank")));
    }
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && std::strcmp(argv[1], "--child-lekto") == 0)
        return childLekto(argc, argv, argc > 2 ? argv[2] : nullptr);
    if (argc > 1 && std::strcmp(argv[1], "--child-bare") == 0)
        return childBare(argc, argv, argc > 2 ? argv[2] : nullptr);

    QCoreApplication app(argc, argv);
    gSelf = QCoreApplication::applicationFilePath();
    QTemporaryDir dir;
    gStartDocument = dir.filePath(QStringLiteral("start.html"));
    QProcess dump;
    dump.start(gSelf, {QStringLiteral("--child-lekto"), gStartDocument});
    if (!dump.waitForFinished(120000) || dump.exitCode() != 0) {
        std::fprintf(stderr, "Lekto's start document could not be written\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
