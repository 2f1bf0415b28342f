// Asking books for new chapters: a simulated web of 200 books on 5 hosts
// (every answer 200 ms late, contents pages of 2,000 chapters), asked twice:
// the second time every page is unchanged and answers 304. And the reading
// of one contents page of 5,000 chapters.
#include "contentslist.h"
#include "testhttpserver.h"
#include "updatechecker.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

QString contentsPage(int chapters)
{
    QString html = QStringLiteral("<html><head><meta charset='utf-8'><title>目录</title></head><body>"
                                  "<div class=nav><a href='/'>首页</a> <a href='/xuanhuan/'>玄幻小说</a></div><dl>");
    for (int n = chapters; n > chapters - 12; --n)
        html += QStringLiteral("<dd><a href=\"%1.html\">第%1章 山雨欲来风满楼</a></dd>\n").arg(n);
    for (int n = 1; n <= chapters; ++n)
        html += QStringLiteral("<dd><a href=\"%1.html\">第%1章 山雨欲来风满楼</a></dd>\n").arg(n);
    return html + QStringLiteral("</dl></body></html>");
}

void BM_ParseContents5000(benchmark::State &state)
{
    const QByteArray page = contentsPage(5000).toUtf8();
    int found = 0;
    for (auto _ : state) {
        const auto list = ContentsList::Parse(ContentsList::Decode(page, "text/html; charset=utf-8"),
                                              QStringLiteral("http://www.site.test/book/1/"), QStringLiteral("www.site.test/book/1"));
        found = int(list.links.size());
        benchmark::DoNotOptimize(found);
    }
    state.counters["chapters"] = found;
}
BENCHMARK(BM_ParseContents5000)->Unit(benchmark::kMillisecond);

struct TRound {
    qint64 ms = 0;
    int requests = 0, counted = 0, notModified = 0;
    qint64 bytes = 0;
};

// One check of every book, as the start page starts it: answered pages are
// read and counted on the way, as the window does.
TRound checkAll(TestHttpServer &web, TUpdateChecker &checker, QHash<QString, QString> &etags)
{
    QList<TUpdateChecker::TJob> jobs;
    for (int host = 0; host < 5; ++host)
        for (int b = 0; b < 40; ++b) {
            const QString book = QStringLiteral("www.site%1.test/book/%2").arg(host).arg(b);
            jobs.append({book, QUrl(QStringLiteral("http://") + book + QLatin1Char('/')), etags.value(book), {}});
        }
    const qsizetype before = web.requests().size();
    TRound round;
    QEventLoop loop;
    const auto answered = QObject::connect(&checker, &TUpdateChecker::Answered, &loop, [&](const TUpdateChecker::TAnswer &a) {
        if (a.status == 200) {
            const auto list = ContentsList::Parse(ContentsList::Decode(a.body, a.contentType), a.contents.toString(), a.book);
            round.counted += ContentsList::NewAfter(list, QStringLiteral("http://") + a.book + QStringLiteral("/1500.html")) > 0;
            etags.insert(a.book, a.etag);
        } else if (a.status == 304) {
            ++round.notModified;
        }
    });
    QObject::connect(&checker, &TUpdateChecker::Idle, &loop, &QEventLoop::quit);
    QElapsedTimer t;
    t.start();
    checker.Check(jobs);
    loop.exec();
    round.ms = t.elapsed();
    QObject::disconnect(answered);
    const auto log = web.requests();
    for (qsizetype i = before; i < log.size(); ++i) {
        ++round.requests;
        round.bytes += log[i].responseBytes;
    }
    return round;
}

void simulatedWeb()
{
    TestHttpServer web;
    web.delayAnswers(200);
    const QByteArray page = contentsPage(2000).toUtf8();
    for (int host = 0; host < 5; ++host)
        for (int b = 0; b < 40; ++b) {
            TestHttpServer::Response r{200, "text/html; charset=utf-8", page, {}, false};
            r.headers << qMakePair(QByteArray("ETag"), QByteArray("\"v") + QByteArray::number(host * 100 + b) + '"');
            web.route(QStringLiteral("http://www.site%1.test/book/%2/").arg(host).arg(b).toLatin1(), r);
        }
    TUpdateChecker checker;
    checker.SetProxy(QStringLiteral("127.0.0.1"), web.port());
    QHash<QString, QString> etags;
    const TRound first = checkAll(web, checker, etags);
    const TRound second = checkAll(web, checker, etags);
    std::printf("\nnew chapters, 200 books on 5 hosts, 200 ms an answer, 2,000 chapters a page:\n");
    std::printf("  first check:   %6lld ms  %3d requests  %9lld bytes  %3d books with new chapters\n", first.ms,
                first.requests, first.bytes, first.counted);
    // The counts of a second look are on the start page at once, from what
    // the first one learned; the 304s only confirm them.
    std::printf("  unchanged:     counts shown at once from the store; all answers in %lld ms  %3d requests  %9lld bytes"
                "  %3d answered 304  (bytes %.4f of the first)\n",
                second.ms, second.requests, second.bytes, second.notModified,
                first.bytes ? double(second.bytes) / double(first.bytes) : 0.0);
    std::printf("  (with %d requests in flight and 200 ms an answer, 200 answers take at least %d ms)\n",
                TUpdateChecker::kInAll, 200 * 200 / TUpdateChecker::kInAll);
    std::printf("  (goals: first under 12000 ms; unchanged under 3000 ms and under 1/20 of the bytes)\n\n");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    simulatedWeb();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
