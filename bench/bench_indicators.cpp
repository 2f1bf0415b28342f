// The two indicators' costs: one frame of the progress ring (a copy of the
// picture, one pie, and for the control one caption), and the walk over a
// module's import tables for the plug-in's waveOutWrite.
#include "lektoprog.h"
#include "pe32image.h"
#include "peimports.h"
#include "progressframe.h"
#include "ratioreporter.h"

#include <QtWidgets/QApplication>

#include <benchmark/benchmark.h>

#include <span>

namespace {

constexpr qsizetype kModuleSize = 20 * 1024 * 1024;

void BM_PictureCopy(benchmark::State &state)
{
    const QImage fg = LoadRingPicture(QStringLiteral("ProgBg2"), qreal(state.range(0)));
    for (auto _ : state) {
        QImage copy = fg.copy();
        benchmark::DoNotOptimize(copy.bits());
    }
}
BENCHMARK(BM_PictureCopy)->Arg(1)->Arg(2);

void BM_ProgressFrame(benchmark::State &state)
{
    const QImage fg = LoadRingPicture(QStringLiteral("ProgBg2"), qreal(state.range(0)));
    int per = 0;
    for (auto _ : state) {
        QImage frame = ProgressFrame(fg, per);
        benchmark::DoNotOptimize(frame.constBits());
        per = (per + 37) % 100; // never 100: every frame has its pie
    }
}
BENCHMARK(BM_ProgressFrame)->Arg(1)->Arg(2);

// What a progress report costs the control: the frame, its hand-over to the
// image control and the caption.
void BM_RingProgress(benchmark::State &state)
{
    QWidget owner;
    owner.resize(859, 50);
    TLektoProgImg ring(&owner);
    int per = 0;
    for (auto _ : state) {
        ring.Progress(per);
        per = (per + 37) % 100;
    }
}
BENCHMARK(BM_RingProgress);

QByteArray sizedModule(QByteArray bytes)
{
    bytes.resize(kModuleSize, '\0');
    return bytes;
}

// A plug-in-sized module: 40 libraries of 100 imports each, waveOutWrite the
// very last, in a 20 MB image.
QByteArray realisticModule()
{
    QList<Pe32Image::Descriptor> descriptors;
    for (int d = 0; d < 40; ++d) {
        Pe32Image::Descriptor desc;
        for (int i = 0; i < 100; ++i)
            desc.imports << Pe32Image::Import{"Function_" + QByteArray::number(d) + "_" + QByteArray::number(i)};
        descriptors << desc;
    }
    descriptors.last().imports.last().name = "waveOutWrite";
    return sizedModule(Pe32Image::buildPe32(descriptors).bytes);
}

// A damaged module at its worst: one descriptor after another until the
// image's end, each naming the same lookup table, which fills the rest.
QByteArray damagedModule()
{
    Pe32Image::Pe32 pe = Pe32Image::buildPe32({{{{"waveOutWritX"}}}});
    QByteArray b = sizedModule(pe.bytes);
    const quint32 name = pe.nameAt[0][0];
    const quint32 tableAt = kModuleSize / 2;
    for (quint32 d = pe.importDirectory; d + 20 <= tableAt; d += 20) {
        Pe32Image::put32(b, d, tableAt);
        Pe32Image::put32(b, d + 12, name);
        Pe32Image::put32(b, d + 16, tableAt);
    }
    for (quint32 at = tableAt; at + 4 <= kModuleSize; at += 4)
        Pe32Image::put32(b, at, name);
    return b;
}

void walk(benchmark::State &state, const QByteArray &module, bool expectFound)
{
    const std::span<const std::byte> image(reinterpret_cast<const std::byte *>(module.constData()), module.size());
    for (auto _ : state) {
        const auto slot = PeImports::RedirectImport(image, "waveOutWrite", [](std::uint32_t) { return true; });
        if (slot.has_value() != expectFound)
            state.SkipWithError("unexpected result");
        benchmark::DoNotOptimize(slot);
    }
}

void BM_ImportWalk20MB(benchmark::State &state)
{
    static const QByteArray module = realisticModule();
    walk(state, module, true);
}
BENCHMARK(BM_ImportWalk20MB)->Unit(benchmark::kMicrosecond);

void BM_ImportWalk20MBDamaged(benchmark::State &state)
{
    static const QByteArray module = damagedModule();
    walk(state, module, false);
}
BENCHMARK(BM_ImportWalk20MBDamaged)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter({{"BM_ProgressFrame/1", "BM_PictureCopy/1"}, {"BM_ProgressFrame/2", "BM_PictureCopy/2"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
