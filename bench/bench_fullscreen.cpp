// Full-screen reading and zoom: the time from F11 to the full-screen frame
// shown (and back), and the cost of setting the zoom again at a completion
// on a large page, against the same page without zoom.
#include "eventwait.h"
#include "headless.h"
#include "lekto.h"
#include "ratioreporter.h"
#include "testhttpserver.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QTemporaryDir>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

#include <benchmark/benchmark.h>

namespace {

struct Fixture {
    QTemporaryDir dir;
    TestHttpServer server;
    std::unique_ptr<TFLekto> window;
    int completions = 0;

    Fixture()
    {
        QByteArray big = "<title>大章</title>";
        for (int i = 0; i < 20000; ++i)
            big += "<p>第" + QByteArray::number(i) + "段，正文正文正文正文正文正文。</p>";
        server.route("/big.html", big);
        window = std::make_unique<TFLekto>(dir.filePath(QStringLiteral("LektoBookmarks.lkt")));
        CountCompletions(window->WB1, &completions);
        window->resize(1000, 700);
        window->show();
        waitUntil([&] { return completions >= 1; }, 60000);
    }
    void open(const QString &url)
    {
        const int before = completions;
        window->EdUrl->setText(url);
        window->BtnGo->click();
        waitUntil([&] { return completions > before; }, 60000);
    }
};

std::unique_ptr<Fixture> gFixture;

Fixture &fixture()
{
    if (!gFixture)
        gFixture = std::make_unique<Fixture>();
    return *gFixture;
}

// F11 to the frame of the other state painted: the window has its new size
// and the view has been laid out again.
void BM_FullScreenToggle(benchmark::State &state)
{
    Fixture &f = fixture();
    f.open(f.server.url("/big.html"));
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        const bool wasFull = f.window->IsFullScreen();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F11, Qt::NoModifier);
        QApplication::sendEvent(f.window->WB1->focusProxy(), &press);
        waitUntil([&] { return f.window->IsFullScreen() != wasFull && f.window->WB1->focusProxy()->isVisible(); }, 10000);
        QApplication::processEvents();
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_FullScreenToggle)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// Loading the large page, with the zoom set again at its completion or not.
void BM_LoadLargePage(benchmark::State &state)
{
    Fixture &f = fixture();
    f.window->_ZoomProc(int(state.range(0)));
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        f.open(f.server.url("/big.html"));
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
    }
    f.window->_ZoomProc(100);
}
BENCHMARK(BM_LoadLargePage)->Arg(100)->Arg(150)->Arg(1000)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    PrepareHeadlessEngine();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter({{"BM_LoadLargePage/150/iterations:5/manual_time", "BM_LoadLargePage/100/iterations:5/manual_time"},
                            {"BM_LoadLargePage/1000/iterations:5/manual_time", "BM_LoadLargePage/100/iterations:5/manual_time"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    gFixture.reset(); // the pages go before the profile
    benchmark::Shutdown();
}
