// Opening the custom links board with sixteen huge pictures (12000 x 12000
// JPEG) against sixteen tile-sized ones and against none: the time from
// creating the board to its first painted showing, and the peak memory of the
// process. Each run is a fresh process, so each peak is its own.
#include "lektolinks.h"
#include "procstats.h"
#include "ratioreporter.h"

#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtGui/QImage>
#include <QtGui/QImageWriter>
#include <QtWidgets/QApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

namespace {

QString gSelf;
QTemporaryDir *gDir = nullptr;

QString folder(const char *kind)
{
    return gDir->filePath(QString::fromLatin1(kind));
}

// Sixteen copies of one picture; the board decodes each file on its own.
void makeFolder(const char *kind, int width, int height)
{
    const QString dir = folder(kind);
    QDir().mkpath(dir);
    if (width == 0)
        return;
    QImage image(width, height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y) // not flat: a photo-like amount of detail
        std::memset(image.scanLine(y), (y * 7) & 0xFF, size_t(width));
    const QString first = QDir(dir).filePath(QStringLiteral("Img1.jpg"));
    QImageWriter writer(first, "jpg");
    writer.setQuality(75);
    writer.write(image);
    for (int i = 2; i <= 16; ++i)
        QFile::copy(first, QDir(dir).filePath(QStringLiteral("Img%1.jpg").arg(i)));
}

void BM_OpenBoard(benchmark::State &state, const char *kind)
{
    QString peak;
    for (auto _ : state) {
        QProcess p;
        p.start(gSelf, {QStringLiteral("--child"), folder(kind)});
        p.waitForFinished(300000);
        const QStringList out = QString::fromLocal8Bit(p.readAllStandardOutput()).split(QLatin1Char(' '));
        if (p.exitCode() != 0 || out.size() < 2) {
            state.SkipWithError("the child failed");
            break;
        }
        state.SetIterationTime(out[0].toDouble() / 1000.0);
        peak = QStringLiteral("peak %1 MiB").arg(out[1].toLong() / 1024);
    }
    state.SetLabel(peak.toStdString());
}
BENCHMARK_CAPTURE(BM_OpenBoard, huge, "huge")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenBoard, tile, "tile")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenBoard, none, "none")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// Creates the board on the folder, shows it, paints it; prints the
// milliseconds this took and the process's peak memory in KiB.
int child(int argc, char **argv)
{
    QApplication app(argc, argv);
    QPixmap placeholder(170, 100);
    placeholder.fill(Qt::lightGray);
    QElapsedTimer t;
    t.start();
    TFLektoLinks board(QString::fromLocal8Bit(argv[2]), placeholder, [](const QString &) {});
    board.ToShow();
    board.grab(); // every tile painted
    const double ms = double(t.nsecsElapsed()) / 1e6;
    std::printf("%.3f %ld", ms, memoryFigures().ownPeakKb);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 2 && std::strcmp(argv[1], "--child") == 0)
        return child(argc, argv);

    QCoreApplication app(argc, argv);
    gSelf = QCoreApplication::applicationFilePath();
    QTemporaryDir dir;
    gDir = &dir;
    makeFolder("huge", 12000, 12000);
    makeFolder("tile", 170, 100);
    makeFolder("none", 0, 0);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(std::vector<std::pair<std::string, std::string>>{
        {"BM_OpenBoard/huge/iterations:3/manual_time", "BM_OpenBoard/tile/iterations:3/manual_time"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
