// How long a request to play the chime holds the calling thread: Qt Multimedia loads and plays
// on threads of its own, so the call must return at once, with or without an audio device.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "platform/qt_sound.h"

namespace {

void PlayChime(benchmark::State& state) {
    for (auto _ : state) {
        QtSound sound({QStringLiteral(PINGROVE_SOUNDS)}, {QStringLiteral(PINGROVE_BINARY_DIR)});
        sound.playAsyncNoStop(QStringLiteral("chimes.wav"));
        state.PauseTiming();
        // Without an audio device the effect may stay busy: the next request then returns at
        // once, dropped, which is not what is measured here; a new player takes the next one.
        QElapsedTimer t;
        t.start();
        while (sound.busy() && t.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        state.ResumeTiming();
    }
}

void PlayMissingFile(benchmark::State& state) {
    QtSound sound({}, {});
    for (auto _ : state) sound.playAsyncNoStop(QStringLiteral("missing.wav"));
}

}  // namespace

BENCHMARK(PlayChime)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(PlayMissingFile)->Unit(benchmark::kMicrosecond);
