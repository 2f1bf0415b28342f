// The cost of the program's application-wide filters per event: the main
// window's key router and the views' wheel and focus hooks see every key and
// wheel event. A key typed into the address box and a wheel turn over a
// widget of the main window, against the same events to a window of the same
// widgets before the main window, and with it its filters, exists.
#include "eventwait.h"
#include "headless.h"
#include "lekto.h"
#include "ratioreporter.h"

#include <QtCore/QTemporaryDir>
#include <QtGui/QKeyEvent>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>

#include <benchmark/benchmark.h>

namespace {

QWidget *gPlain = nullptr;      // a line edit in a window of its own, made before any filter
QLineEdit *gPlainEdit = nullptr;
std::unique_ptr<TFLekto> gLekto;

void sendKey(QWidget *to)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(to, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(to, &release);
}

void sendWheel(QWidget *to)
{
    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(to, &wheel);
}

// The main window, made at its first use: the plain runs come first, before
// any of the program's filters exists.
TFLekto *lekto()
{
    static QTemporaryDir dir;
    if (!gLekto) {
        gLekto = std::make_unique<TFLekto>(dir.filePath(QStringLiteral("LektoBookmarks.lkt")));
        gLekto->show();
        spin(500);
    }
    return gLekto.get();
}

void BM_Key(benchmark::State &state, bool filtered)
{
    QLineEdit *edit = filtered ? lekto()->EdUrl : gPlainEdit;
    edit->setFocus();
    for (auto _ : state) {
        sendKey(edit);
        if (edit->text().size() > 1000)
            edit->clear();
    }
}
BENCHMARK_CAPTURE(BM_Key, Plain, false);

void BM_Wheel(benchmark::State &state, bool filtered)
{
    QWidget *to = filtered ? static_cast<QWidget *>(lekto()->pHint) : gPlainEdit;
    for (auto _ : state)
        sendWheel(to);
}
BENCHMARK_CAPTURE(BM_Wheel, Plain, false);
BENCHMARK_CAPTURE(BM_Key, Filtered, true);
BENCHMARK_CAPTURE(BM_Wheel, Filtered, true);

} // namespace

int main(int argc, char **argv)
{
    PrepareHeadlessEngine();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    gPlain = new QWidget;
    gPlainEdit = new QLineEdit(gPlain);
    gPlain->show();
    RatioReporter reporter({{"BM_Key/Filtered", "BM_Key/Plain"}, {"BM_Wheel/Filtered", "BM_Wheel/Plain"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    gLekto.reset();
    delete gPlain;
    benchmark::Shutdown();
}
