// How long the window's shape takes to compute from its background at start-up.
#include <benchmark/benchmark.h>

#include <QImage>

#include "app/window_shape.h"

namespace {

const QImage& Background() {
    static const QImage background(QStringLiteral(":/art/background.png"));
    return background;
}

void BM_BlendBackground(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(BlendOver(Background(), kWindowKeyColour));
    }
}
BENCHMARK(BM_BlendBackground)->Unit(benchmark::kMillisecond);

void BM_ShapeFromFace(benchmark::State& state) {
    const QImage face = BlendOver(Background(), kWindowKeyColour);
    for (auto _ : state) {
        benchmark::DoNotOptimize(OpaqueRegion(face, kWindowKeyColour));
    }
}
BENCHMARK(BM_ShapeFromFace)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
