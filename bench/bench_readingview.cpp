// The reading view's cost: the time from a chapter's load completing to the
// page painted, shown as it is and in the view, on a chapter of 20,000
// characters in <br> lines and on the saved biquge chapter; and how many
// characters a line of the view holds at the default width in a 1280-pixel
// window.
#include "dialogs.h"
#include "eventwait.h"
#include "headless.h"
#include "lekto.h"
#include "testhttpserver.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtNetwork/QNetworkProxy>
#include <QtWebEngineCore/QWebEnginePage>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

TestHttpServer *gProxy = nullptr;
int gPage = 0;

QByteArray bigChapter()
{
    QByteArray body = "<title>第九章 长夜_某书_某站</title><div class=nav><a href='/'>首页</a> <a href='/top'>排行</a></div>"
                      "<h1>第九章 长夜</h1><div id=content>";
    // 200 lines of 100 characters: 20,000 characters of text.
    const QByteArray line = QByteArray("夜色渐深，窗外的雨还没有停，他把书页轻轻翻过，灯下的字一行一行地亮起来。").repeated(3);
    for (int i = 0; i < 200; ++i)
        body += "&nbsp;&nbsp;&nbsp;&nbsp;" + line.left(line.size() - (line.size() % 3)) + "<br><br>";
    body += "</div><a href='8.html'>上一章</a> <a href='index.html'>目录</a> <a href='10.html'>下一章</a>";
    return body;
}

QByteArray savedChapter()
{
    QFile f(QStringLiteral(LEKTO_FIXTURES "/novel-zh/biquge-zhushen-ch4.html"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QVariant js(TBrowserView *view, const QString &script)
{
    QVariant out;
    bool done = false;
    view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant &v) {
        out = v;
        done = true;
    });
    waitUntil([&] { return done; }, 10000);
    return out;
}

struct Window {
    QTemporaryDir dir;
    std::unique_ptr<TFLekto> w;
    int completions = 0;
    Window(bool reading)
    {
        w = std::make_unique<TFLekto>(dir.filePath(QStringLiteral("LektoBookmarks.lkt")));
        CountCompletions(w->WB1, &completions);
        w->resize(1280, 800);
        w->show();
        waitUntil([&] { return completions >= 1; }, 60000);
        if (reading != w->FReading.enabled)
            w->ToggleReadingView();
    }
};

// From the engine's "load finished" to the page completed (the view put in
// when it is on) and a frame drawn after it.
void loadToPainted(benchmark::State &state, bool reading, const QByteArray &body, const char *charset)
{
    Window win(reading);
    TFLekto &w = *win.w;
    qint64 finishedAt = -1;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(w.WB1->page(), &QWebEnginePage::loadFinished, &w, [&] { finishedAt = clock.nsecsElapsed(); });
    double viewShown = 0;
    for (auto _ : state) {
        const QByteArray address = "http://book.example.com/r/" + QByteArray::number(++gPage) + ".html";
        gProxy->route(address, TestHttpServer::Response{200, charset, body, {}, false});
        const int before = win.completions;
        finishedAt = -1;
        w.EdUrl->setText(QString::fromLatin1(address));
        w.BtnGo->click();
        waitUntil([&] { return win.completions > before; }, 60000);
        // A frame after the completion: two animation frames later the one
        // holding the change has been drawn.
        js(w.WB1, QStringLiteral("window.lektoPainted=0;requestAnimationFrame(function(){requestAnimationFrame(function(){window.lektoPainted=1;});});"));
        waitUntil([&] { return js(w.WB1, QStringLiteral("window.lektoPainted")).toInt() == 1; }, 10000);
        const qint64 end = clock.nsecsElapsed();
        state.SetIterationTime(finishedAt >= 0 ? double(end - finishedAt) / 1e9 : 0);
        viewShown += w.WB1->ShowsReadingView() ? 1 : 0;
    }
    state.counters["in_view"] = viewShown / double(state.iterations());
}

void charactersPerLine(benchmark::State &state)
{
    Window win(true);
    TFLekto &w = *win.w;
    gProxy->route("http://book.example.com/r/line.html", TestHttpServer::Response{200, "text/html; charset=utf-8", bigChapter(), {}, false});
    w.EdUrl->setText(QStringLiteral("http://book.example.com/r/line.html"));
    const int before = win.completions;
    w.BtnGo->click();
    waitUntil([&] { return win.completions > before; }, 60000);
    double perLine = 0, firstLine = 0;
    for (auto _ : state) {
        // The characters of a full line: a paragraph's second line, which
        // the first-line indent does not shorten.
        const QVariantList v = js(w.WB1, QStringLiteral(R"((function(){var p=document.querySelector('#lekto-reader .lekto-text p');
var t=p.firstChild,r=document.createRange(),tops=[];for(var i=0;i<t.length;i++){r.setStart(t,i);r.setEnd(t,i+1);
tops.push(Math.round(r.getBoundingClientRect().top));}var lines=[],n=0,top=tops[0];
for(var i=0;i<tops.length;i++){if(tops[i]!==top){lines.push(n);n=0;top=tops[i];}++n;}lines.push(n);return [lines[0],lines[1]];})())")).toList();
        if (v.size() == 2) {
            firstLine = v[0].toDouble();
            perLine = v[1].toDouble();
        }
    }
    state.counters["chars_per_line"] = perLine;
    state.counters["chars_first_line"] = firstLine;
}

} // namespace

int main(int argc, char **argv)
{
    PrepareHeadlessEngine();
    QApplication app(argc, argv);
    Dialogs::showMessage = [](const QString &, const QString &) {};
    TBrowserView::UseOffTheRecordProfile();
    TestHttpServer proxy;
    gProxy = &proxy;
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", proxy.port()));
    const QByteArray big = bigChapter(), saved = savedChapter();
    const struct {
        const char *name;
        const QByteArray *body;
        const char *charset;
    } pages[] = {{"20000 characters", &big, "text/html; charset=utf-8"}, {"saved biquge chapter", &saved, "text/html"}};
    for (const auto &p : pages)
        for (bool reading : {false, true}) {
            const std::string name = std::string("load_to_painted/") + p.name + (reading ? "/reading view" : "/as it is");
            benchmark::RegisterBenchmark(name.c_str(), [p, reading](benchmark::State &s) { loadToPainted(s, reading, *p.body, p.charset); })
                ->UseManualTime()
                ->Iterations(15)
                ->Unit(benchmark::kMillisecond);
        }
    benchmark::RegisterBenchmark("characters_per_line/default width, 1280 px window", charactersPerLine)->Iterations(1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
