// Kalvo's drawing surfaces at 1920 x 1080 on offscreen images: one live
// segment, a full repaint of 10,000 and 100,000 segments, and one eraser pass
// over 100,000 segments.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/EraseLogic.h"
#include "kalvo/core/InkLayer.h"

namespace {

constexpr QSize kScreen(1920, 1080);

// Strokes of short segments wandering over the screen, as a hand draws them.
void fillWithStrokes(kalvo::CMyDoc& doc, int segments, unsigned seed = 7) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> xs(0, kScreen.width() - 1);
    std::uniform_int_distribution<int> ys(0, kScreen.height() - 1);
    std::uniform_int_distribution<int> step(-12, 12);
    const kalvo::COLORREF colours[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x000000, 0xFFFFFF};
    int x = 0;
    int y = 0;
    for (int i = 0; i < segments; ++i) {
        if (i % 60 == 0) {
            x = xs(rng);
            y = ys(rng);
        }
        const int nx = std::clamp(x + step(rng), 0, kScreen.width() - 1);
        const int ny = std::clamp(y + step(rng), 0, kScreen.height() - 1);
        doc.AddSegment(x, y, nx, ny, colours[(i / 60) % 5], 1 + (i / 60) % 6);
        x = nx;
        y = ny;
    }
}

void BM_LiveSegment(benchmark::State& state) {
    kalvo::InkLayer layer(kScreen);
    int i = 0;
    for (auto _ : state) {
        const int x = 100 + (i * 7) % 1700;
        const QRect touched = layer.drawLiveSegment({x, 500}, {x + 9, 506}, 0x0000FF, 3, 0);
        benchmark::DoNotOptimize(touched);
        ++i;
    }
}
BENCHMARK(BM_LiveSegment)->Unit(benchmark::kMicrosecond);

// What a repaint of the whole overlay does: every segment redrawn into the
// ink layer with white dropped, then composed over the window's background.
void BM_FullRepaint(benchmark::State& state) {
    kalvo::CMyDoc doc;
    fillWithStrokes(doc, static_cast<int>(state.range(0)));
    kalvo::InkLayer layer(kScreen);
    QImage window(kScreen, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        layer.rebuild(doc);
        QPainter painter(&window);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(window.rect(), QColor(0, 0, 0, 1));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(0, 0, layer.image());
        painter.end();
        benchmark::DoNotOptimize(window.constBits());
    }
    state.counters["segments"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_FullRepaint)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// One pointer move of the eraser: the whole list scanned against the box
// around the pointer; range(1) says whether the box holds segments to delete
// (the list is rebuilt, untimed, after each pass).
void BM_EraserPass(benchmark::State& state) {
    kalvo::CMyDoc doc;
    fillWithStrokes(doc, static_cast<int>(state.range(0)));
    const bool hits = state.range(1) != 0;
    const QPoint at = hits ? QPoint(960, 540) : QPoint(-5000, -5000);
    const kalvo::EraseBox box = kalvo::eraseBoxAround(at.x(), at.y());
    int erased = 0;
    for (auto _ : state) {
        erased = kalvo::eraseSegmentsInside(doc, box);
        benchmark::DoNotOptimize(erased);
        state.PauseTiming();
        if (erased > 0) {
            // The list as it was, in its order: deletions in the middle cost
            // what they cost in use.
            doc.ClearSegments();
            fillWithStrokes(doc, static_cast<int>(state.range(0)));
        }
        state.ResumeTiming();
    }
    state.counters["erased"] = erased;
}
BENCHMARK(BM_EraserPass)->Args({100'000, 0})->Args({100'000, 1})->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
