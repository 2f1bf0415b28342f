// The history store at scale: recording a page, reading and writing the file,
// each beside a plain read or write of the same number of bytes.
#include "lektohistory.h"
#include "ratioreporter.h"

#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>

#include <benchmark/benchmark.h>

#include <unistd.h>

namespace {

QTemporaryDir &dir()
{
    static QTemporaryDir d;
    return d;
}

QString historyWith(int entries)
{
    const QString path = dir().filePath(QStringLiteral("h%1.lkt").arg(entries));
    if (!QFile::exists(path)) {
        TLektoHistory h(path);
        for (int i = 0; i < entries; ++i)
            h.AddHis(QStringLiteral("http://www.example.com/book%1/chapter.html").arg(i), QStringLiteral("第%1章 风起云涌").arg(i));
        h.SaveHis();
    }
    return path;
}

// Reading another chapter of the book at the end of the list, which then
// moves to the front: every call is the worst case of the linear searches.
void BM_AddHis(benchmark::State &state)
{
    TLektoHistory h(historyWith(int(state.range(0))));
    int chapter = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString url = QStringLiteral("http://") + fieldText(h.Bookmarks().back()->BookPath)
            + QStringLiteral("/%1.html").arg(++chapter);
        state.ResumeTiming();
        h.AddHis(url, QStringLiteral("第%1章").arg(chapter));
    }
}
BENCHMARK(BM_AddHis)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_LoadHis(benchmark::State &state)
{
    const QString path = historyWith(int(state.range(0)));
    for (auto _ : state) {
        TLektoHistory h(path);
        benchmark::DoNotOptimize(h.Count());
    }
    state.SetBytesProcessed(state.iterations() * QFile(path).size());
}
BENCHMARK(BM_LoadHis)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_PlainRead(benchmark::State &state)
{
    const QString path = historyWith(int(state.range(0)));
    for (auto _ : state) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(f.readAll().size());
    }
    state.SetBytesProcessed(state.iterations() * QFile(path).size());
}
BENCHMARK(BM_PlainRead)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SaveHis(benchmark::State &state)
{
    TLektoHistory h(historyWith(int(state.range(0))));
    for (auto _ : state)
        h.SaveHis();
    state.SetBytesProcessed(state.iterations() * QFile(h.fn()).size());
}
BENCHMARK(BM_SaveHis)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The same bytes written once, plainly, to a file of its own.
void BM_PlainWrite(benchmark::State &state)
{
    QFile src(historyWith(int(state.range(0))));
    src.open(QIODevice::ReadOnly);
    const QByteArray bytes = src.readAll();
    const QString path = dir().filePath(QStringLiteral("plain.bin"));
    for (auto _ : state) {
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        f.flush();
        if (state.range(1))
            ::fsync(f.handle()); // a save makes its bytes durable before it replaces the file
        f.close();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_PlainWrite)->ArgsProduct({{10000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter({
        {"BM_LoadHis/10000", "BM_PlainRead/10000"},
        {"BM_LoadHis/100000", "BM_PlainRead/100000"},
        {"BM_SaveHis/10000", "BM_PlainWrite/10000/0"},
        {"BM_SaveHis/100000", "BM_PlainWrite/100000/0"},
        {"BM_SaveHis/10000", "BM_PlainWrite/10000/1"},
        {"BM_SaveHis/100000", "BM_PlainWrite/100000/1"},
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
